#include "state/FileAccess.h"

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#if JUCE_LINUX || JUCE_BSD || JUCE_MAC
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#define WRENDLE_POSIX_FILES 1
#else
#define WRENDLE_POSIX_FILES 0
#endif

namespace orvel
{

namespace
{
    /** Reads chunks until the source reports its end (0) or an error (< 0), keeping at
        most maxBytes: the status becomes read, unreadable or tooLarge. */
    template <typename ReadChunk>
    void readToEnd (FileReadResult& result, size_t maxBytes, ReadChunk&& readChunk)
    {
        char buffer[16384];

        for (;;)
        {
            const auto numRead = readChunk (buffer, sizeof (buffer));

            if (numRead < 0)
            {
                result.status = FileReadResult::Status::unreadable;
                result.bytes.reset();
                return;
            }

            if (numRead == 0)
                break;

            const auto room = maxBytes - juce::jmin (maxBytes, result.bytes.getSize());
            result.bytes.append (buffer, juce::jmin ((size_t) numRead, room));

            if ((size_t) numRead > room)
            {
                result.status = FileReadResult::Status::tooLarge;
                return;
            }
        }

        result.status = FileReadResult::Status::read;
    }
} // namespace

#if WRENDLE_POSIX_FILES
namespace
{
    /** Closes a descriptor when it goes out of scope. */
    struct Descriptor
    {
        explicit Descriptor (int fd) noexcept
            : handle (fd) {}
        ~Descriptor()
        {
            if (handle >= 0)
                ::close (handle);
        }

        int release() noexcept { return std::exchange (handle, -1); }

        int handle;

        JUCE_DECLARE_NON_COPYABLE (Descriptor)
    };

    std::string nativePath (const juce::File& file)
    {
        return file.getFullPathName().toStdString();
    }

    /** Follows a chain of symbolic links to the path it finally names, which need
        not exist. Nothing when the chain is too long (a loop) or unreadable. */
    std::optional<std::string> finalTarget (std::string path)
    {
        // The limit the kernel itself applies to a path's links.
        for (int hops = 0; hops < 40; ++hops)
        {
            struct stat info;

            if (::lstat (path.c_str(), &info) != 0 || ! S_ISLNK (info.st_mode))
                return path;

            std::string target (PATH_MAX, '\0');
            const auto length = ::readlink (path.c_str(), target.data(), target.size());

            if (length <= 0 || (size_t) length >= target.size())
                return std::nullopt;

            target.resize ((size_t) length);

            if (target.front() != '/')
                target = path.substr (0, path.find_last_of ('/') + 1) + target;

            path = std::move (target);
        }

        return std::nullopt;
    }

    bool writeAll (int fd, const void* data, size_t numBytes)
    {
        const auto* bytes = static_cast<const char*> (data);

        while (numBytes > 0)
        {
            const auto written = ::write (fd, bytes, numBytes);

            if (written < 0 && errno == EINTR)
                continue;

            if (written <= 0)
                return false;

            bytes += written;
            numBytes -= (size_t) written;
        }

        return true;
    }

    /** A new file next to the target, named so no two writers pick the same one,
        with the target's name hidden behind a dot so a folder listing shows no
        stray preset while it exists. */
    int createTemporarySibling (const std::string& target, mode_t mode, std::string& temporaryPath)
    {
        const auto slash = target.find_last_of ('/');
        const auto folder = target.substr (0, slash + 1);
        const auto name = target.substr (slash + 1);
        juce::Random random;

        for (int attempt = 0; attempt < 16; ++attempt)
        {
            temporaryPath = folder + "." + name + "." + juce::String::toHexString (random.nextInt64()).toStdString() + ".tmp";
            const auto fd = ::open (temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);

            if (fd >= 0 || errno != EEXIST)
                return fd;
        }

        return -1;
    }

    bool isReadOnly (const std::string& path, const struct stat& info)
    {
        return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access (path.c_str(), W_OK) != 0;
    }

    enum class LockAttempt
    {
        held,
        busy,
        unsupported
    };

    LockAttempt tryLock (int fd)
    {
        if (::flock (fd, LOCK_EX | LOCK_NB) == 0)
            return LockAttempt::held;

        return errno == EWOULDBLOCK || errno == EINTR ? LockAttempt::busy : LockAttempt::unsupported;
    }

    /** Polls for the lock until the deadline. Short, jittered pauses: a holder keeps
        the lock for one read and one write of a small file, and waiters that woke in
        step would keep missing it together. */
    bool lockBefore (int fd, std::chrono::steady_clock::time_point deadline)
    {
        juce::Random jitter;

        for (;;)
        {
            const auto attempt = tryLock (fd);

            if (attempt != LockAttempt::busy)
                return attempt == LockAttempt::held;

            if (std::chrono::steady_clock::now() >= deadline)
                return false;

            std::this_thread::sleep_for (std::chrono::microseconds (100 + jitter.nextInt (200)));
        }
    }

    int openFolder (const juce::File& folder)
    {
        return ::open (nativePath (folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
} // namespace

//==============================================================================
FileReadResult readRegularFile (const juce::File& file, size_t maxBytes)
{
    FileReadResult result;
    const auto path = nativePath (file);
    struct stat info;

    // Checked before opening: opening a device can have effects of its own.
    if (::stat (path.c_str(), &info) != 0)
    {
        result.status = errno == ENOENT || errno == ENOTDIR ? FileReadResult::Status::missing
                                                            : FileReadResult::Status::unreadable;
        return result;
    }

    if (! S_ISREG (info.st_mode))
    {
        result.status = FileReadResult::Status::notRegular;
        return result;
    }

    // Non-blocking, and checked again once open: something else may have been put
    // at the path in between.
    const Descriptor in (::open (path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));

    if (in.handle < 0)
    {
        result.status = FileReadResult::Status::unreadable;
        return result;
    }

    if (::fstat (in.handle, &info) != 0 || ! S_ISREG (info.st_mode))
    {
        result.status = FileReadResult::Status::notRegular;
        return result;
    }

    readToEnd (result, maxBytes, [&in] (char* buffer, size_t size)
               {
        for (;;)
        {
            const auto numRead = ::read (in.handle, buffer, size);

            if (numRead >= 0 || errno != EINTR)
                return (juce::int64) numRead;
        } });

    return result;
}

bool isRegularFile (const juce::File& file)
{
    struct stat info;
    return ::stat (nativePath (file).c_str(), &info) == 0 && S_ISREG (info.st_mode);
}

FileWriteResult replaceFileContent (const juce::File& file, const void* data, size_t numBytes)
{
    const auto target = finalTarget (nativePath (file));

    if (! target.has_value())
        return FileWriteResult::failed;

    struct stat info;
    const auto exists = ::stat (target->c_str(), &info) == 0;

    if (exists && ! S_ISREG (info.st_mode))
        return FileWriteResult::notRegular;

    if (exists && isReadOnly (*target, info))
        return FileWriteResult::notWritable;

    // A new file gets the permissions the user's umask gives; an existing one
    // keeps its own (set again below: the umask may have taken some away).
    const auto mode = exists ? (mode_t) (info.st_mode & 07777) : (mode_t) 0666;
    std::string temporaryPath;
    Descriptor out (createTemporarySibling (*target, mode, temporaryPath));

    if (out.handle < 0)
        return FileWriteResult::failed;

    auto ok = writeAll (out.handle, data, numBytes);

    if (ok && exists)
    {
        ok = ::fchmod (out.handle, mode) == 0;

        // Only root may give a file away; for anyone else the file is theirs
        // already. A file system without owners (EPERM) keeps the writer's.
        if (ok && ::geteuid() == 0)
            ok = ::fchown (out.handle, info.st_uid, info.st_gid) == 0 || errno == EPERM;
    }

    ok = ok && ::fsync (out.handle) == 0;
    ok = ::close (out.release()) == 0 && ok;
    ok = ok && ::rename (temporaryPath.c_str(), target->c_str()) == 0;

    if (! ok)
    {
        ::unlink (temporaryPath.c_str());
        return FileWriteResult::failed;
    }

    return FileWriteResult::written;
}

//==============================================================================
ScopedFolderLock::ScopedFolderLock (const juce::File& folder, int maxWaitMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (maxWaitMs);
    Descriptor folderLock (openFolder (folder));

    if (folderLock.handle < 0)
        return;

    // The turnstile is held only while waiting for the folder. Everyone passes it,
    // also when the folder is free, so the writer that just let the folder go
    // queues behind the one that waited for it. Without the turnstile the
    // waiter goes on as before.
    const Descriptor turnstile (openFolder (folder.getParentDirectory()));

    if (turnstile.handle >= 0)
        lockBefore (turnstile.handle, deadline);

    if (lockBefore (folderLock.handle, deadline))
        folderHandle = folderLock.release();
}

ScopedFolderLock::~ScopedFolderLock()
{
    // Closing the only descriptor of the lock releases it.
    if (folderHandle >= 0)
        ::close (folderHandle);
}

#else
//==============================================================================
// Elsewhere: plain JUCE streams. A read still runs to the end of the stream, and a
// write still goes through a temporary file; folders are not locked.
FileReadResult readRegularFile (const juce::File& file, size_t maxBytes)
{
    FileReadResult result;

    if (! file.exists())
        return result;

    if (file.isDirectory())
    {
        result.status = FileReadResult::Status::notRegular;
        return result;
    }

    juce::FileInputStream in (file);

    if (! in.openedOk())
    {
        result.status = FileReadResult::Status::unreadable;
        return result;
    }

    readToEnd (result, maxBytes, [&in] (char* buffer, size_t size)
               { return (juce::int64) in.read (buffer, (int) size); });
    return result;
}

bool isRegularFile (const juce::File& file)
{
    return file.existsAsFile();
}

FileWriteResult replaceFileContent (const juce::File& file, const void* data, size_t numBytes)
{
    if (file.isDirectory())
        return FileWriteResult::notRegular;

    if (file.existsAsFile() && ! file.hasWriteAccess())
        return FileWriteResult::notWritable;

    return file.replaceWithData (data, numBytes) ? FileWriteResult::written : FileWriteResult::failed;
}

ScopedFolderLock::ScopedFolderLock (const juce::File&, int) {}
ScopedFolderLock::~ScopedFolderLock() = default;
#endif

FileWriteResult writeXmlFile (const juce::XmlElement& element, const juce::File& file)
{
    juce::MemoryOutputStream text;
    element.writeTo (text);
    return replaceFileContent (file, text.getData(), text.getDataSize());
}

} // namespace orvel
