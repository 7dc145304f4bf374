#include "store/SecureBytes.h"

#include <sodium.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

void EnsureSodium()
{
    // sodium_init is safe to call again and from several threads; it
    // returns 1 when the library was already started.
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium could not be started");
}

SecureBytes::SecureBytes(std::size_t size)
{
    EnsureSodium();
    // sodium_malloc gives no memory for a size of 0; one byte stands in.
    mData = static_cast<unsigned char*>(sodium_malloc(size == 0 ? 1 : size));
    if (!mData)
        throw std::bad_alloc();
    mSize = size;
    sodium_memzero(mData, size == 0 ? 1 : size);
}

SecureBytes SecureBytes::copyOf(const void* data, std::size_t size)
{
    SecureBytes bytes(size);
    if (size > 0)
        std::memcpy(bytes.mData, data, size);
    return bytes;
}

SecureBytes SecureBytes::random(std::size_t size)
{
    SecureBytes bytes(size);
    randombytes_buf(bytes.mData, size);
    return bytes;
}

SecureBytes SecureBytes::takeText(QString& text)
{
    QByteArray utf8 = text.toUtf8();
    SecureBytes bytes = copyOf(utf8.constData(), std::size_t(utf8.size()));
    sodium_memzero(utf8.data(), std::size_t(utf8.size()));
    // Text that lives in the program's read-only data (a literal) is not
    // the user's and cannot be written; anything else is wiped in place,
    // for every copy that shares it.
    if (text.data_ptr().isMutable())
        sodium_memzero(const_cast<QChar*>(text.constData()),
                       std::size_t(text.size()) * sizeof(QChar));
    text.clear();
    return bytes;
}

SecureBytes::~SecureBytes()
{
    release();
}

SecureBytes::SecureBytes(SecureBytes&& other) noexcept
    : mData(std::exchange(other.mData, nullptr)), mSize(std::exchange(other.mSize, 0))
{}

SecureBytes& SecureBytes::operator=(SecureBytes&& other) noexcept
{
    if (this != &other) {
        release();
        mData = std::exchange(other.mData, nullptr);
        mSize = std::exchange(other.mSize, 0);
    }
    return *this;
}

bool SecureBytes::operator==(const SecureBytes& other) const
{
    if (mSize != other.mSize)
        return false;
    return mSize == 0 || sodium_memcmp(mData, other.mData, mSize) == 0;
}

void SecureBytes::release()
{
    // sodium_free wipes the memory before it gives it back.
    if (mData)
        sodium_free(mData);
    mData = nullptr;
    mSize = 0;
}
