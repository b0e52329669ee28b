// Renders the editor's skin images into PNG files.
//
//   wrendle_skin_generator <output folder>
//       writes every image of the skin table into the folder;
//   wrendle_skin_generator --contact-sheet <file.png> [--icons <folder>] [--fonts <folder>] [--window <file.png>]
//       writes one overview picture: the window as the editor arranges the
//       images, then every image on its own (and the SVG icons, when given);
//       --window also writes the window part alone.
//
// Drawing uses JUCE's software renderer only, so no display is needed.

#include "ContactSheet.h"
#include "SkinPainters.h"

#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>

#include <iostream>

namespace
{
/** Writes the image as PNG, replacing the file whole. An unchanged file is
    left alone, so its time stamp stays and nothing downstream rebuilds. */
bool writePng (const juce::Image& image, const juce::File& target)
{
    juce::MemoryOutputStream encoded;
    juce::PNGImageFormat png;
    if (! png.writeImageToStream (image, encoded))
        return false;

    juce::MemoryBlock existing;
    if (target.existsAsFile() && target.loadFileAsData (existing) && existing == encoded.getMemoryBlock())
        return true;

    juce::TemporaryFile temporary (target);

    {
        auto stream = temporary.getFile().createOutputStream();
        if (stream == nullptr || stream->failedToOpen())
            return false;

        if (! stream->write (encoded.getData(), encoded.getDataSize()))
            return false;

        stream->flush();
        if (stream->getStatus().failed())
            return false;
    }

    return temporary.overwriteTargetFileWithTemporary();
}

int renderSkin (const juce::File& folder)
{
    if (! folder.createDirectory())
    {
        std::cerr << "cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    for (const auto& entry : skin::skinImageTable())
    {
        const auto image = entry.render();
        const int expectedHeight = entry.frameHeightPx * entry.frames;

        // The editor cuts film strips by size, so a wrong size is a build error.
        if (image.getWidth() != entry.widthPx || image.getHeight() != expectedHeight)
        {
            std::cerr << entry.fileName << ": rendered " << image.getWidth() << "x" << image.getHeight() << ", expected "
                      << entry.widthPx << "x" << expectedHeight << "\n";
            return 1;
        }

        if (! writePng (image, folder.getChildFile (entry.fileName)))
        {
            std::cerr << "cannot write " << folder.getChildFile (entry.fileName).getFullPathName() << "\n";
            return 1;
        }
    }

    return 0;
}

int usage()
{
    std::cerr << "usage: wrendle_skin_generator <output folder>\n"
                 "       wrendle_skin_generator --contact-sheet <file.png> [--icons <folder>] [--fonts <folder>] [--window <file.png>]\n";
    return 2;
}
} // namespace

int main (int argc, char* argv[])
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    if (args.size() == 1 && ! args[0].startsWith ("--"))
        return renderSkin (juce::File::getCurrentWorkingDirectory().getChildFile (args[0]));

    if (args.size() >= 2 && args[0] == "--contact-sheet" && args.size() % 2 == 0)
    {
        skin::ContactSheetOptions options;
        juce::File windowFile;
        options.target = juce::File::getCurrentWorkingDirectory().getChildFile (args[1]);

        for (int i = 2; i + 1 < args.size(); i += 2)
        {
            const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (args[i + 1]);
            if (args[i] == "--icons")
                options.iconFolder = folder;
            else if (args[i] == "--fonts")
                options.fontFolder = folder;
            else if (args[i] == "--window")
                windowFile = folder;
            else
                return usage();
        }

        if (windowFile != juce::File() && ! writePng (skin::renderWindowPreview (options), windowFile))
        {
            std::cerr << "cannot write " << windowFile.getFullPathName() << "\n";
            return 1;
        }

        const auto sheet = skin::renderContactSheet (options);
        if (! writePng (sheet, options.target))
        {
            std::cerr << "cannot write " << options.target.getFullPathName() << "\n";
            return 1;
        }
        return 0;
    }

    return usage();
}
