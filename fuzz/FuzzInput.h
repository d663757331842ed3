#pragma once
// What the fuzz targets share: a file holding the input, for the readers that
// take a path, and a reader of fixed-size numbers from the front of the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace teintelle::fuzz {

// One file per process, rewritten for every input, in /dev/shm when it
// exists so the disk is not worn by millions of writes.
class InputFile {
public:
    explicit InputFile(const char* extension)
    {
        const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path_ = std::string(folder) + "/teintelle-fuzz-" + std::to_string(getpid()) + "." + extension;
    }
    ~InputFile() { std::remove(path_.c_str()); }

    const std::string& write(const std::uint8_t* data, std::size_t size)
    {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
            std::abort(); // the harness itself failed, not the program
        return path_;
    }

private:
    std::string path_;
};

// Takes sizeof(T) bytes from the front of the input (zeros once it is used up).
class ByteTaker {
public:
    ByteTaker(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <typename T>
    T take()
    {
        T value{};
        const std::size_t n = size_ < sizeof value ? size_ : sizeof value;
        std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }

    const std::uint8_t* rest() const { return data_; }
    std::size_t restSize() const { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

} // namespace teintelle::fuzz
