// An open file descriptor, closed when it goes out of scope.
#ifndef LABELGRADE_DESCRIPTOR_H
#define LABELGRADE_DESCRIPTOR_H

#include <unistd.h>
#include <utility>

struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    explicit Descriptor(int opened) : fd(opened) {}
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        std::swap(fd, other.fd);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
};

#endif
