// A bounds-checked little-endian reader over bytes in memory.
//
// Every value read from a level or palette-list file goes through one of
// these. Reading past `end` returns 0 and sets `overrun`, which then stays
// set, so a reader can take a whole record and test the flag once at the end
// of its block instead of after every field.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>

struct byte_cursor {
    const unsigned char *p;
    const unsigned char *end;
    const unsigned char *start;   // for offsets in failure messages
    bool overrun;
};

inline byte_cursor make_cursor(const unsigned char *data, size_t size)
{
    byte_cursor c = {data, data + size, data, false};
    return c;
}

inline size_t cursor_left(const byte_cursor *c) { return (size_t)(c->end - c->p); }
inline size_t cursor_offset(const byte_cursor *c) { return (size_t)(c->p - c->start); }

// True when n more bytes are present. Never overflows.
inline bool cursor_has(const byte_cursor *c, size_t n) { return !c->overrun && n <= cursor_left(c); }

// Takes n bytes: a pointer to them, or null (and overrun set) when fewer are left.
inline const unsigned char *cursor_take(byte_cursor *c, size_t n)
{
    if (!cursor_has(c, n)) {
        c->overrun = true;
        c->p = c->end;
        return nullptr;
    }
    const unsigned char *at = c->p;
    c->p += n;
    return at;
}

// Little-endian values at a place the caller has already checked is inside
// its bytes (the cursor's readers below are built on these).
inline unsigned le16_at(const unsigned char *q) { return (unsigned)q[0] | (unsigned)q[1] << 8; }
inline uint32_t le32_at(const unsigned char *q)
{
    return (uint32_t)q[0] | (uint32_t)q[1] << 8 | (uint32_t)q[2] << 16 | (uint32_t)q[3] << 24;
}

// Big-endian values, for the formats that store them so (IFF, JPEG markers).
inline unsigned be16_at(const unsigned char *q) { return (unsigned)q[0] << 8 | (unsigned)q[1]; }
inline uint32_t be32_at(const unsigned char *q)
{
    return (uint32_t)q[0] << 24 | (uint32_t)q[1] << 16 | (uint32_t)q[2] << 8 | (uint32_t)q[3];
}

inline unsigned get8(byte_cursor *c)
{
    const unsigned char *q = cursor_take(c, 1);
    return q ? q[0] : 0;
}

inline unsigned get16le(byte_cursor *c)
{
    const unsigned char *q = cursor_take(c, 2);
    return q ? le16_at(q) : 0;
}

inline uint32_t get32le(byte_cursor *c)
{
    const unsigned char *q = cursor_take(c, 4);
    return q ? le32_at(q) : 0;
}

inline unsigned get16be(byte_cursor *c)
{
    const unsigned char *q = cursor_take(c, 2);
    return q ? be16_at(q) : 0;
}

inline uint32_t get32be(byte_cursor *c)
{
    const unsigned char *q = cursor_take(c, 4);
    return q ? be32_at(q) : 0;
}

inline float get_f32le(byte_cursor *c)
{
    uint32_t bits = get32le(c);
    float f;
    memcpy(&f, &bits, 4);
    return f;
}

// Copies n bytes out; false (destination untouched, overrun set) when short.
inline bool get_bytes(byte_cursor *c, void *dst, size_t n)
{
    const unsigned char *q = cursor_take(c, n);
    if (!q) return false;
    if (n) memcpy(dst, q, n);
    return true;
}

inline void cursor_skip(byte_cursor *c, size_t n) { cursor_take(c, n); }

// A cursor over the next n bytes, which the parent steps over. When fewer
// are left, the parent overruns and the sub-cursor is empty and overrun.
inline byte_cursor sub_cursor(byte_cursor *c, size_t n)
{
    const unsigned char *q = cursor_take(c, n);
    byte_cursor s;
    if (!q) {
        s = make_cursor(c->end, 0);
        s.overrun = true;
    } else {
        s = make_cursor(q, n);
    }
    s.start = c->start;   // offsets stay relative to the whole file
    return s;
}
