// The GUI extension with a probe editor, and the host's context menus offered to editors.
// Window tests need a display (tools/test-all.sh provides a virtual one) and skip without one.

#include "ProbeBindingFixture.h"
#include "binding/EditorHostContext.h"
#include "binding/EditorWrapperComponent.h"
#include "binding/GuiSizing.h"

#include <cmath>
#include <limits>

namespace
{

class BindingGui : public ProbeBinding
{
protected:
    void SetUp() override
    {
        if (! displayIsAvailable())
            GTEST_SKIP() << "no display";

        ProbeEditor::nextSizing = ProbeEditor::Sizing::constrained;
        ProbeBinding::SetUp();
        ASSERT_TRUE (plugin->init (plugin));
        host.clearLog();
    }

    void TearDown() override
    {
        ProbeEditor::nextSizing = ProbeEditor::Sizing::constrained;
        ProbeBinding::TearDown();
    }

    void createGui (ProbeEditor::Sizing sizing = ProbeEditor::Sizing::constrained)
    {
        ProbeEditor::nextSizing = sizing;
        ASSERT_TRUE (gui()->create (plugin, CLAP_WINDOW_API_X11, false));
        host.clearLog();
    }

    std::pair<uint32_t, uint32_t> size() const
    {
        uint32_t width = 0, height = 0;
        EXPECT_TRUE (gui()->get_size (plugin, &width, &height));
        return { width, height };
    }

    juce::AudioProcessorEditor* editor() const
    {
        auto* wrapper = binding->getEditorWrapper();
        return wrapper != nullptr ? wrapper->getEditor() : nullptr;
    }
};

using Size = std::pair<uint32_t, uint32_t>;

TEST_F (BindingGui, OnlyEmbeddedWindowsOfTheThreeDesktopApisAreSupported)
{
    EXPECT_TRUE (gui()->is_api_supported (plugin, "x11", false));
    EXPECT_TRUE (gui()->is_api_supported (plugin, "cocoa", false));
    EXPECT_TRUE (gui()->is_api_supported (plugin, "win32", false));
    EXPECT_FALSE (gui()->is_api_supported (plugin, "wayland", false));
    EXPECT_FALSE (gui()->is_api_supported (plugin, "x11", true));

    const char* api = nullptr;
    bool floating = true;
    EXPECT_FALSE (gui()->get_preferred_api (plugin, &api, &floating));
}

TEST_F (BindingGui, AFloatingGuiIsRefusedAndNothingIsCreated)
{
    EXPECT_FALSE (gui()->create (plugin, CLAP_WINDOW_API_X11, true));
    EXPECT_EQ (binding->getEditorWrapper(), nullptr);
    EXPECT_FALSE (binding->isGuiCreated());
}

TEST_F (BindingGui, CreateHoldsTheProcessorsEditorAtItsOwnSize)
{
    createGui();

    ASSERT_NE (editor(), nullptr);
    EXPECT_EQ (editor(), probe->getActiveEditor());
    EXPECT_EQ (size(), Size (300, 200));
    EXPECT_TRUE (gui()->can_resize (plugin));
    EXPECT_NE (editor()->getHostContext(), nullptr);
}

TEST_F (BindingGui, CreateFailsWhenTheProcessorGivesNoEditor)
{
    probe->editorIsNull = true;

    EXPECT_FALSE (gui()->create (plugin, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE (binding->isGuiCreated());
}

TEST_F (BindingGui, SetScaleMultipliesTheHostsSizeAndKeepsTheEditorsOwnSize)
{
    createGui();

    EXPECT_TRUE (gui()->set_scale (plugin, 2.0));

    EXPECT_FLOAT_EQ (binding->getGuiScale(), 2.0f);
    EXPECT_EQ (size(), Size (600, 400));
    EXPECT_EQ (editor()->getWidth(), 300) << "the editor keeps its units, drawn twice as large";
    EXPECT_EQ (editor()->getHeight(), 200);
    ASSERT_FALSE (host.resizeRequests.empty());
    EXPECT_EQ (host.resizeRequests.back(), Size (600, 400));

    // Back at scale 1 nothing of the detour remains.
    EXPECT_TRUE (gui()->set_scale (plugin, 1.0));
    EXPECT_EQ (size(), Size (300, 200));
    EXPECT_EQ (editor()->getWidth(), 300);
}

TEST_F (BindingGui, SetScaleTakesFactorsAndPercentagesAndRefusesNonsense)
{
    createGui();

    EXPECT_TRUE (gui()->set_scale (plugin, 150.0));
    EXPECT_FLOAT_EQ (binding->getGuiScale(), 1.5f);
    EXPECT_TRUE (gui()->set_scale (plugin, 2.0));
    EXPECT_FLOAT_EQ (binding->getGuiScale(), 2.0f);

    EXPECT_FALSE (gui()->set_scale (plugin, 0.0));
    EXPECT_FALSE (gui()->set_scale (plugin, -1.0));
    EXPECT_FALSE (gui()->set_scale (plugin, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FLOAT_EQ (binding->getGuiScale(), 2.0f);
}

TEST_F (BindingGui, TheScaleOutlivesTheGuiAndAppliesToTheNextEditor)
{
    createGui();
    ASSERT_TRUE (gui()->set_scale (plugin, 2.0));
    gui()->destroy (plugin);

    createGui();
    EXPECT_FLOAT_EQ (binding->getGuiScale(), 2.0f);
    EXPECT_EQ (editor()->getWidth(), 300);
    EXPECT_EQ (size(), Size (600, 400));
}

struct HintsCase
{
    const char* what;
    ProbeEditor::Sizing sizing;
    bool resizable;
    bool preservesAspect;
    Size aspect;
};

void PrintTo (const HintsCase& c, std::ostream* os)
{
    *os << c.what;
}

class ResizeHints : public BindingGui, public ::testing::WithParamInterface<HintsCase>
{
};

TEST_P (ResizeHints, TellTheHostWhetherAndHowTheEditorResizes)
{
    const auto& c = GetParam();
    createGui (c.sizing);

    clap_gui_resize_hints hints {};
    hints.aspect_ratio_width = hints.aspect_ratio_height = 77;
    ASSERT_TRUE (gui()->get_resize_hints (plugin, &hints));

    EXPECT_EQ (hints.can_resize_horizontally, c.resizable);
    EXPECT_EQ (hints.can_resize_vertically, c.resizable);
    EXPECT_EQ (hints.preserve_aspect_ratio, c.preservesAspect);

    if (c.preservesAspect)
    {
        EXPECT_EQ (Size (hints.aspect_ratio_width, hints.aspect_ratio_height), c.aspect);
    }
}

INSTANTIATE_TEST_SUITE_P (
    BindingGui,
    ResizeHints,
    ::testing::Values (HintsCase { "free within limits", ProbeEditor::Sizing::constrained, true, false, {} },
                       HintsCase { "aspect ratio 1.5", ProbeEditor::Sizing::aspectLocked, true, true, { 3, 2 } },
                       HintsCase { "fixed size", ProbeEditor::Sizing::fixed, false, false, {} }));

TEST (AspectRatioAsFraction, GivesTheSmallestWholeNumbersOfTheRatio)
{
    EXPECT_EQ (clapbinding::aspectRatioAsFraction (480.0 / 460.0), Size (24, 23));
    EXPECT_EQ (clapbinding::aspectRatioAsFraction (16.0 / 9.0), Size (16, 9));
    EXPECT_EQ (clapbinding::aspectRatioAsFraction (0.5), Size (1, 2));
    EXPECT_EQ (clapbinding::aspectRatioAsFraction (3.0), Size (3, 1));
    EXPECT_EQ (clapbinding::aspectRatioAsFraction (0.0), Size (1, 1));

    // An irrational ratio is approximated within a millionth by a denominator below 10,000.
    const auto [width, height] = clapbinding::aspectRatioAsFraction (std::sqrt (2.0));
    EXPECT_LT (height, 10000u);
    EXPECT_NEAR ((double) width / (double) height, std::sqrt (2.0), 1.0e-6 * std::sqrt (2.0));
}

struct AdjustCase
{
    const char* what;
    ProbeEditor::Sizing sizing;
    double scale;
    Size requested;
    Size expected;
};

void PrintTo (const AdjustCase& c, std::ostream* os)
{
    *os << c.what;
}

class AdjustSize : public BindingGui, public ::testing::WithParamInterface<AdjustCase>
{
};

TEST_P (AdjustSize, KeepsTheEditorsConstrainerInHostPixels)
{
    const auto& c = GetParam();
    createGui (c.sizing);

    if (c.scale != 1.0)
    {
        ASSERT_TRUE (gui()->set_scale (plugin, c.scale));
    }

    auto width = c.requested.first, height = c.requested.second;
    ASSERT_TRUE (gui()->adjust_size (plugin, &width, &height)) << c.what;
    EXPECT_EQ (Size (width, height), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P (
    BindingGui,
    AdjustSize,
    ::testing::Values (AdjustCase { "below the minimum", ProbeEditor::Sizing::constrained, 1.0, { 10, 10 }, { 100, 50 } },
                       AdjustCase { "above the maximum", ProbeEditor::Sizing::constrained, 1.0, { 1000, 1000 }, { 600, 400 } },
                       AdjustCase { "inside the limits", ProbeEditor::Sizing::constrained, 1.0, { 321, 123 }, { 321, 123 } },
                       AdjustCase { "at twice the scale", ProbeEditor::Sizing::constrained, 2.0, { 10, 10 }, { 200, 100 } },
                       AdjustCase { "aspect ratio from the height", ProbeEditor::Sizing::aspectLocked, 1.0, { 1000, 250 }, { 375, 250 } },
                       AdjustCase { "aspect ratio at the minimum", ProbeEditor::Sizing::aspectLocked, 1.0, { 10, 10 }, { 150, 100 } },
                       AdjustCase { "no constrainer", ProbeEditor::Sizing::unconstrained, 1.0, { 10, 10 }, { 10, 10 } }));

TEST_F (BindingGui, AFixedSizeEditorNeitherAdjustsNorResizes)
{
    createGui (ProbeEditor::Sizing::fixed);

    EXPECT_FALSE (gui()->can_resize (plugin));
    uint32_t width = 10, height = 10;
    EXPECT_FALSE (gui()->adjust_size (plugin, &width, &height));
    EXPECT_FALSE (gui()->set_size (plugin, 400, 300));
    EXPECT_EQ (host.logTexts(), std::vector<std::string> { "clap_plugin_gui.set_size() was called but the gui is not resizable" });
    EXPECT_EQ (size(), Size (300, 200));
}

TEST_F (BindingGui, SetSizeResizesTheHolderAndTheEditorInItsOwnUnits)
{
    createGui();
    ASSERT_TRUE (gui()->set_scale (plugin, 2.0));
    host.resizeRequests.clear();

    EXPECT_TRUE (gui()->set_size (plugin, 400, 300));

    EXPECT_EQ (size(), Size (400, 300));
    EXPECT_EQ (editor()->getWidth(), 200);
    EXPECT_EQ (editor()->getHeight(), 150);
    EXPECT_TRUE (host.resizeRequests.empty()) << "a size the host set is not asked for again";
    EXPECT_TRUE (host.logTexts().empty());
}

TEST_F (BindingGui, ASizeThatAdjustSizeWouldChangeIsReportedAndStillSet)
{
    createGui();

    EXPECT_TRUE (gui()->set_size (plugin, 700, 100));

    EXPECT_EQ (host.logTexts(),
               std::vector<std::string> { "clap_plugin_gui.set_size() was called with a size which was not adjusted by "
                                          "clap_plugin_gui.adjust_size(): 700x100 vs 600x100" });
    EXPECT_EQ (size(), Size (700, 100));
}

TEST_F (BindingGui, AnEditorThatResizesItselfAsksTheHostForTheNewSize)
{
    createGui();
    ASSERT_TRUE (gui()->set_scale (plugin, 2.0));
    host.resizeRequests.clear();

    editor()->setSize (200, 100);

    ASSERT_EQ (host.resizeRequests.size(), 1u);
    EXPECT_EQ (host.resizeRequests[0], Size (400, 200));
    EXPECT_EQ (size(), Size (400, 200));
}

TEST_F (BindingGui, SetParentPutsTheHolderIntoTheHostsWindowAndDestroyTakesItOut)
{
    ParentWindow parent;
    ASSERT_TRUE (parent.isAvailable());
    createGui();

    EXPECT_FALSE (gui()->show (plugin)) << "not yet attached";

    const auto window = parent.clapWindow();
    ASSERT_TRUE (gui()->set_parent (plugin, &window));
    EXPECT_TRUE (binding->isParentAttached());
    EXPECT_TRUE (binding->isGuiParented());
    EXPECT_TRUE (gui()->show (plugin));
    EXPECT_TRUE (binding->getEditorWrapper()->isOnDesktop());
    EXPECT_EQ (parent.childCount(), 1);

    gui()->destroy (plugin);

    EXPECT_EQ (binding->getEditorWrapper(), nullptr);
    EXPECT_FALSE (binding->isParentAttached());
    EXPECT_EQ (probe->getActiveEditor(), nullptr);
    EXPECT_EQ (parent.childCount(), 0);
}

TEST_F (BindingGui, AWindowHandleOfAnotherPlatformIsRefused)
{
    createGui();
    clap_window_t window {};
    window.api = CLAP_WINDOW_API_COCOA;
    window.ptr = &window;

    EXPECT_FALSE (gui()->set_parent (plugin, &window));
    EXPECT_FALSE (binding->isParentAttached());
    EXPECT_FALSE (binding->getEditorWrapper()->isOnDesktop());
}

/** Records what the binding tells a GUI event loop. */
struct RecordingEventLoop : clapbinding::GuiEventLoop
{
    explicit RecordingEventLoop (std::vector<std::string>& journalToUse)
        : journal (journalToUse) {}
    void guiAttached (const clapcheck::HostInterfaces&) noexcept override { journal.push_back ("attached"); }
    void guiDetached (const clapcheck::HostInterfaces&) noexcept override { journal.push_back ("detached"); }
    void timerFired (clap_id id) noexcept override { journal.push_back ("timer " + std::to_string (id)); }
    std::vector<std::string>& journal;
};

TEST_F (BindingGui, AGuiEventLoopHearsOfTheWindowAndGetsTheHostsTimerTicks)
{
    std::vector<std::string> journal;
    binding->setGuiEventLoop (std::make_unique<RecordingEventLoop> (journal));
    ParentWindow parent;
    ASSERT_TRUE (parent.isAvailable());
    createGui();

    const auto window = parent.clapWindow();
    ASSERT_TRUE (gui()->set_parent (plugin, &window));
    extension<clap_plugin_timer_support> (CLAP_EXT_TIMER_SUPPORT)->on_timer (plugin, 7);
    gui()->destroy (plugin);

    EXPECT_EQ (journal, (std::vector<std::string> { "attached", "timer 7", "detached" }));
}

TEST_F (BindingGui, DestroyingAnActiveInstanceWithItsGuiOpenWarnsAboutTheGuiFirst)
{
    createGui();
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));

    destroy();

    EXPECT_EQ (host.logTexts(), (std::vector<std::string> { "host forgot to destroy the gui",
                                                            "host forgot to deactivate the plugin before destroying it" }));
}

//==============================================================================
/** The host's context menus, offered to an editor; these need no window. */
class HostContextMenus : public ProbeBinding
{
protected:
    void SetUp() override
    {
        ProbeBinding::SetUp();
        host.populateMenu = [] (const clap_context_menu_builder_t* builder)
        {
            const clap_context_menu_entry_t show { "Show automation", true, 11 };
            const clap_context_menu_check_entry_t lock { "Locked", false, true, 12 };
            const clap_context_menu_submenu_t more { "More", true };
            const clap_context_menu_entry_t deep { "Deep", true, 13 };
            const clap_context_menu_submenu_t deeper { "Deeper", false };
            const clap_context_menu_entry_t deepest { "Deepest", true, 14 };
            const clap_context_menu_item_title_t title { "Host", true };

            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_ENTRY, &show);
            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_CHECK_ENTRY, &lock);
            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_SEPARATOR, nullptr);
            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_BEGIN_SUBMENU, &more);
            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_ENTRY, &deep);
            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_BEGIN_SUBMENU, &deeper);
            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_ENTRY, &deepest);
            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_END_SUBMENU, nullptr);
            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_END_SUBMENU, nullptr);
            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_END_SUBMENU, nullptr); // one too many
            builder->add_item (builder, CLAP_CONTEXT_MENU_ITEM_TITLE, &title);
            builder->add_item (builder, 99, nullptr);
        };
    }

    void init()
    {
        ASSERT_TRUE (plugin->init (plugin));
        host.clearLog();
        ids = { { probe->gain, 1234u } };
        context = std::make_unique<clapbinding::EditorHostContext> (binding->getHostInterfaces(), ids);
    }

    std::unique_ptr<juce::HostProvidedContextMenu> menuFor (const juce::AudioProcessorParameter* parameter)
    {
        return context->getContextMenuForParameter (parameter);
    }

    static clap_context_menu_target_t targetOf (const std::unique_ptr<juce::HostProvidedContextMenu>& menu)
    {
        return dynamic_cast<clapbinding::EditorContextMenu&> (*menu).getTarget();
    }

    std::unordered_map<juce::AudioProcessorParameter*, clap_id> ids;
    std::unique_ptr<clapbinding::EditorHostContext> context;
};

TEST_F (HostContextMenus, TargetTheParameterByItsIdOrTheWholePlugin)
{
    init();

    const auto forGain = menuFor (probe->gain);
    ASSERT_NE (forGain, nullptr);
    EXPECT_EQ (targetOf (forGain).kind, (uint32_t) CLAP_CONTEXT_MENU_TARGET_KIND_PARAM);
    EXPECT_EQ (targetOf (forGain).id, 1234u);

    const auto forUnknown = menuFor (probe->mode);
    EXPECT_EQ (targetOf (forUnknown).kind, (uint32_t) CLAP_CONTEXT_MENU_TARGET_KIND_PARAM);
    EXPECT_EQ (targetOf (forUnknown).id, 0u);

    const auto global = menuFor (nullptr);
    EXPECT_EQ (targetOf (global).kind, (uint32_t) CLAP_CONTEXT_MENU_TARGET_KIND_GLOBAL);
    EXPECT_EQ (targetOf (global).id, 0u);
}

TEST_F (HostContextMenus, AreAbsentWithoutTheHostTableAndWarnAboutAnIncompleteOne)
{
    host.withdraw (CLAP_EXT_CONTEXT_MENU);
    init();
    EXPECT_EQ (menuFor (probe->gain), nullptr);
    EXPECT_TRUE (host.logTexts().empty());

    destroy();
    create();
    host.offer (CLAP_EXT_CONTEXT_MENU, &host.contextMenuTable);
    host.contextMenuTable.popup = nullptr;
    init();
    EXPECT_EQ (menuFor (probe->gain), nullptr);
    EXPECT_EQ (host.logTexts(), std::vector<std::string> { "clap_host_context_menu is partially implemented" });
}

/** The items of a menu as lines: "name #id [ticked] [disabled]", sub-menus indented, headers in []. */
std::vector<std::string> describe (const juce::PopupMenu& menu, const std::string& indent = "")
{
    std::vector<std::string> lines;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();

        if (item.isSeparator)
        {
            lines.push_back (indent + "---");
            continue;
        }

        if (item.isSectionHeader)
        {
            lines.push_back (indent + "[" + item.text.toStdString() + "]");
            continue;
        }

        auto line = indent + item.text.toStdString();

        if (item.subMenu == nullptr)
            line += " #" + std::to_string (item.itemID);

        if (item.isTicked)
            line += " ticked";

        if (! item.isEnabled)
            line += " disabled";

        lines.push_back (line);

        if (item.subMenu != nullptr)
            for (const auto& sub : describe (*item.subMenu, indent + "  "))
                lines.push_back (sub);
    }

    return lines;
}

TEST_F (HostContextMenus, BuildTheHostsItemsIncludingNestedSubMenus)
{
    init();
    const auto menu = menuFor (probe->gain);

    const auto popup = menu->getEquivalentPopupMenu();

    EXPECT_EQ (describe (popup), (std::vector<std::string> { "Show automation #1",
                                                             "Locked #2 ticked disabled",
                                                             "---",
                                                             "More",
                                                             "  Deep #3",
                                                             "  Deeper disabled",
                                                             "    Deepest #4",
                                                             "[Host]" }));
    ASSERT_EQ (host.populated.size(), 1u);
    EXPECT_EQ (host.populated[0].id, 1234u);

    EXPECT_EQ (describe (menu->getEquivalentPopupMenu()).size(), 8u) << "asking again must not double the items";
}

TEST_F (HostContextMenus, AChosenEntryAsksTheHostToPerformItEvenAfterTheMenuObjectIsGone)
{
    init();
    auto menu = menuFor (probe->gain);
    const auto popup = menu->getEquivalentPopupMenu();
    menu.reset();

    for (juce::PopupMenu::MenuItemIterator it (popup, true); it.next();)
        if (it.getItem().text == "Deepest" && it.getItem().action != nullptr)
            it.getItem().action();

    ASSERT_EQ (host.performed.size(), 1u);
    EXPECT_EQ (host.performed[0].first.kind, (uint32_t) CLAP_CONTEXT_MENU_TARGET_KIND_PARAM);
    EXPECT_EQ (host.performed[0].first.id, 1234u);
    EXPECT_EQ (host.performed[0].second, 14u);
}

TEST_F (HostContextMenus, TheNativeMenuIsShownOnlyWhenTheHostCanPopItUp)
{
    init();
    const auto menu = menuFor (nullptr);

    menu->showNativeMenu ({ 10, 20 });
    EXPECT_EQ (host.popups.size(), 1u);

    host.canPopup = false;
    menu->showNativeMenu ({ 10, 20 });
    EXPECT_EQ (host.popups.size(), 1u);
}

} // namespace
