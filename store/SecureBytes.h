#pragma once

#include <QString>

#include <cstddef>

// Starts libsodium once for the process; throws std::runtime_error when it
// cannot start. Every user of libsodium calls it first.
void EnsureSodium();

// Bytes for keys and passwords: allocated by libsodium in memory that is
// locked against being swapped out and fenced by guard pages, and wiped when
// freed. Move-only, so that no copy is left behind unnoticed.
class SecureBytes
{
public:
    SecureBytes() = default;
    // `size` zero bytes; throws std::bad_alloc when they cannot be had.
    explicit SecureBytes(std::size_t size);
    static SecureBytes copyOf(const void* data, std::size_t size);
    // `size` random bytes.
    static SecureBytes random(std::size_t size);
    // The UTF-8 form of `text`, which is wiped: its characters are
    // overwritten where they are stored (so are those of every copy sharing
    // them, such as the text still held by the box it came from), and it is
    // left empty.
    static SecureBytes takeText(QString& text);

    ~SecureBytes();
    SecureBytes(SecureBytes&& other) noexcept;
    SecureBytes& operator=(SecureBytes&& other) noexcept;
    SecureBytes(const SecureBytes&) = delete;
    SecureBytes& operator=(const SecureBytes&) = delete;

    // A copy in its own locked memory.
    SecureBytes clone() const { return copyOf(mData, mSize); }

    unsigned char* data() { return mData; }
    const unsigned char* data() const { return mData; }
    std::size_t size() const { return mSize; }
    bool isEmpty() const { return mSize == 0; }
    // Compares in constant time.
    bool operator==(const SecureBytes& other) const;

private:
    void release();

    unsigned char* mData = nullptr;
    std::size_t mSize = 0;
};
