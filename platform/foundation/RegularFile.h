#pragma once
// Reading a file that a crash, a sync tool, another program or a person may have replaced: only a
// regular file is read, and only up to a bound that fits what the caller reads. A pipe, a device,
// a folder or a loop of symbolic links is refused at once (a pipe would block the reader for
// ever, a device would never end), and so is a file larger than the bound, before its bytes are
// taken into memory.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class RegularFile {
public:
    struct Contents {
        // The file's bytes; none when it is missing or refused.
        std::optional<std::string> bytes;
        // Nothing is at the path (a dangling symbolic link counts as nothing: writing through it
        // creates its target).
        bool missing = false;
        // Why the bytes are absent, as the end of "it ...": "is a pipe, not a file".
        std::string why;
    };

    static Contents read(const std::string& path, std::size_t maxLength);

    // Bytes read into memory that is not cleared first: a long list is written into once, by the
    // read itself.
    struct Buffer {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        std::string_view view() const { return {data.get(), size}; }
    };

    // A regular file held open, with the checks of read made as it was opened. Every write of
    // ours renames a new file into place, so what it held when opened can still be read after a
    // Save has replaced it.
    class Opened {
    public:
        Opened() = default;
        Opened(Opened&& other) noexcept;
        Opened& operator=(Opened&& other) noexcept;
        Opened(const Opened&) = delete;
        Opened& operator=(const Opened&) = delete;
        ~Opened();

        bool isOpen() const { return fd_ >= 0; }
        // Nothing was at the path.
        bool missing = false;
        // Why it is not open, as the end of "it ...".
        std::string why;
        // The file as opened (device, inode, size, times of change): another file, or this one
        // changed, has another stamp. Empty when it is not open.
        std::string stamp;

        // All its bytes, from the start; none (with `why`) when they cannot be read or outgrow
        // the bound.
        std::optional<Buffer> readAll(std::string* why = nullptr) const;

    private:
        friend class RegularFile;
        int fd_ = -1;
        std::size_t maxLength_ = 0;
    };
    static Opened open(const std::string& path, std::size_t maxLength);

    // The stamp of what is at `path` now (see Opened::stamp); empty when nothing is.
    static std::string stampAt(const std::string& path);

    // Something is at the path, a dangling or looping symbolic link included.
    static bool somethingAt(const std::string& path);
};

} // namespace platform
