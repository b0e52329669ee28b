#pragma once

#include <juce_core/juce_core.h>

namespace orvel
{

/** What readRegularFile found at a path. */
struct FileReadResult
{
    enum class Status
    {
        read,       ///< the whole file is in bytes
        missing,    ///< nothing at the path (or a dangling symbolic link)
        notRegular, ///< a folder, FIFO, socket or device: never opened
        unreadable, ///< a regular file that could not be opened or read
        tooLarge    ///< longer than allowed; bytes holds the first maxBytes of it
    };

    Status status = Status::missing;
    juce::MemoryBlock bytes;

    bool isRead() const noexcept { return status == Status::read; }
};

/** Reads a regular file (symbolic links followed) to its end, at most maxBytes.

    Only regular files are opened: a FIFO named like one of our files would block
    the calling thread (the host's main thread) until some other process writes
    into it, and a device could stream without end.

    The read runs until the end of the file that was opened, not up to a size looked
    up by path as juce::FileInputStream does: every writer here replaces a file by
    renaming a new one over it, and a size taken from the new file would cut the read
    of the old one short.
*/
FileReadResult readRegularFile (const juce::File& file, size_t maxBytes);

/** True for a regular file, also one reached through symbolic links. */
bool isRegularFile (const juce::File& file);

/** What replaceFileContent did. */
enum class FileWriteResult
{
    written,
    notWritable, ///< the file is read-only (no write permission bit, or access() refuses)
    notRegular,  ///< something other than a regular file stands there
    failed       ///< the temporary file could not be written or renamed
};

/** Replaces a file's content whole: the bytes go into a temporary sibling, which is
    renamed over the file, so a reader sees either the old or the new content.

    A symbolic link is written through: the file it finally leads to gets the new
    content and the link stays a link. An existing file keeps its permissions (and,
    where the process may set them, its owner and group). A file without any write
    permission bit is refused even where the process could override that (as root):
    a user who made a file read-only meant it. The folder must exist.
*/
FileWriteResult replaceFileContent (const juce::File& file, const void* data, size_t numBytes);

/** Writes an element as an XML document in JUCE's default text format (what
    XmlElement::writeTo gives) with replaceFileContent. */
FileWriteResult writeXmlFile (const juce::XmlElement& element, const juce::File& file);

//==============================================================================
/**
    An advisory lock that serialises a reload-modify-write of files in one folder
    across threads and processes (flock on the folder itself, so no lock file is
    left behind).

    Waiting is bounded: when the lock cannot be had within maxWaitMs (a process that
    hangs while holding it, a file system without locks), the constructor gives up
    and isHeld() is false; the caller goes on without it, as if there were no lock.

    Waiters take turns: each one first takes a turnstile lock on the folder's parent
    while it waits for the folder, so a process that writes in a tight loop cannot
    take the folder back again and again while another one waits.
*/
class ScopedFolderLock
{
public:
    /** A holder keeps the lock for one small read and one write, but the write's
        fsync can take a good part of a second on a disk busy with other work. */
    static constexpr int defaultMaxWaitMs = 2000;

    explicit ScopedFolderLock (const juce::File& folder, int maxWaitMs = defaultMaxWaitMs);
    ~ScopedFolderLock();

    bool isHeld() const noexcept { return folderHandle >= 0; }

private:
    int folderHandle = -1;

    JUCE_DECLARE_NON_COPYABLE (ScopedFolderLock)
};

} // namespace orvel
