#pragma once
#include "RC_Codec.h"
#include "RC_DataType.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// Holder of one item's latest value. The receive thread stores the value and
// then sets bValid (release); a reader that sees bValid (acquire) sees that
// value or a newer one. Readers clear bValid when they have shown the value.
class RC_ItemValue
{
public:
    explicit RC_ItemValue(RC_DataType eType) : m_eType(eType) {}
    RC_ItemValue(const RC_ItemValue& other) : bValid(other.bValid.load()), m_eType(other.m_eType) {}
    RC_ItemValue& operator=(const RC_ItemValue& other)
    {
        bValid.store(other.bValid.load());
        return *this;
    }
    virtual ~RC_ItemValue() = default;

    static std::unique_ptr<RC_ItemValue> Create(RC_DataType eType);

    RC_DataType Type() const { return m_eType; }
    bool IsValid() const { return bValid.load(std::memory_order_acquire); }
    void ClearValid() { bValid.store(false, std::memory_order_release); }

    // Decodes the value at pData[nPos], reading nothing at or after nEnd.
    // False (holder untouched, nConsumed unchanged) when it does not fit.
    virtual bool Decode(const uint8_t* pData, size_t nPos, size_t nEnd, size_t& nConsumed) = 0;
    // Writes the wire encoding; the byte count, or 0 when nCapacity is too small.
    virtual size_t Encode(uint8_t* pOut, size_t nCapacity) const = 0;
    // The encoding a command to the remote system carries: the same, except for
    // String (see RC_StringValue).
    virtual size_t EncodeCommand(uint8_t* pOut, size_t nCapacity) const { return Encode(pOut, nCapacity); }
    // The value as the dialogs and logs show it: integers in decimal, reals with
    // "%lf", text as it is; U128 shows nothing.
    virtual std::string ToText() const = 0;
    // ToText up to its first NUL, as fields and logs show it: the remote
    // system sends its strings NUL-terminated.
    std::string ShownText() const;

    // "New", not "valid": set when a value arrives, cleared by the reader that
    // has shown it; the value itself stays good after it is cleared.
    std::atomic<bool> bValid{false};

protected:
    void MarkValid() { bValid.store(true, std::memory_order_release); }

private:
    RC_DataType m_eType;
};

// The fixed-size number types; the value itself is atomic.
template <typename T, RC_DataType E>
class RC_NumericValue : public RC_ItemValue
{
public:
    using ValueType = T;

    RC_NumericValue() : RC_ItemValue(E) {}
    // A holder made to be sent: it holds the value and is valid.
    explicit RC_NumericValue(T value) : RC_ItemValue(E) { Set(value); }
    RC_NumericValue(const RC_NumericValue& other) : RC_ItemValue(other), m_Value(other.m_Value.load()) {}
    RC_NumericValue& operator=(const RC_NumericValue& other)
    {
        m_Value.store(other.m_Value.load());
        RC_ItemValue::operator=(other);
        return *this;
    }

    T Get() const { return m_Value.load(std::memory_order_relaxed); }
    void Set(T value)
    {
        m_Value.store(value, std::memory_order_relaxed);
        MarkValid();
    }

    bool Decode(const uint8_t* pData, size_t nPos, size_t nEnd, size_t& nConsumed) override;
    size_t Encode(uint8_t* pOut, size_t nCapacity) const override;
    std::string ToText() const override;

private:
    std::atomic<T> m_Value{};
};

using RC_ByteValue = RC_NumericValue<uint8_t, RC_DataType::Byte>;
using RC_U16Value = RC_NumericValue<uint16_t, RC_DataType::U16>;
using RC_S16Value = RC_NumericValue<int16_t, RC_DataType::S16>;
using RC_U32Value = RC_NumericValue<uint32_t, RC_DataType::U32>;
using RC_S32Value = RC_NumericValue<int32_t, RC_DataType::S32>;
using RC_U64Value = RC_NumericValue<uint64_t, RC_DataType::U64>;
using RC_S64Value = RC_NumericValue<int64_t, RC_DataType::S64>;
using RC_FloatValue = RC_NumericValue<float, RC_DataType::Float>;
using RC_DoubleValue = RC_NumericValue<double, RC_DataType::Double>;

// 20.12 fixed point: the raw value is kept (and travels as an S32 would), the
// real value derived from it.
class RC_FixedValue : public RC_NumericValue<int32_t, RC_DataType::Fixed>
{
public:
    RC_FixedValue() = default;
    explicit RC_FixedValue(int32_t nRaw) : RC_NumericValue(nRaw) {}

    int32_t Raw() const { return Get(); }
    float Value() const { return RC_Codec::FixedToFloat(Raw()); }
    void SetRaw(int32_t nRaw) { Set(nRaw); }

    std::string ToText() const override;
};

// Two 64-bit halves, kept together under a lock so that no reader sees half an update.
class RC_U128Value : public RC_ItemValue
{
public:
    RC_U128Value() : RC_ItemValue(RC_DataType::U128) {}

    void Get(uint64_t& nUpper, uint64_t& nLower) const;
    void Set(uint64_t nUpper, uint64_t nLower);

    bool Decode(const uint8_t* pData, size_t nPos, size_t nEnd, size_t& nConsumed) override;
    size_t Encode(uint8_t* pOut, size_t nCapacity) const override;
    std::string ToText() const override { return {}; }

private:
    mutable std::mutex m_Mutex;
    uint64_t m_nUpper = 0;
    uint64_t m_nLower = 0;
};

// Text of exactly the received characters (a trailing NUL from the peer stays).
class RC_StringValue : public RC_ItemValue
{
public:
    RC_StringValue() : RC_ItemValue(RC_DataType::String) {}
    // A holder made to be sent: it holds the text and is valid.
    explicit RC_StringValue(const std::string& sValue) : RC_ItemValue(RC_DataType::String) { Set(sValue); }

    std::string Get() const;
    void Set(const std::string& sValue);

    bool Decode(const uint8_t* pData, size_t nPos, size_t nEnd, size_t& nConsumed) override;
    // Length byte then the characters as held (at most 255 of them).
    size_t Encode(uint8_t* pOut, size_t nCapacity) const override;
    // The console sends a C string: length byte n + 1, the first n characters
    // (n at most 254) and a NUL.
    size_t EncodeCommand(uint8_t* pOut, size_t nCapacity) const override;
    std::string ToText() const override { return Get(); }

private:
    mutable std::mutex m_Mutex;
    std::string m_sValue;
};
