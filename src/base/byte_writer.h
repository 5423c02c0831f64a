// Little-endian writing into a byte buffer, the mirror of byte_cursor.h.
//
// Each put writes its value at `p` and answers the position after it, so a
// header can be laid out one field a line. The caller sizes the buffer.
#pragma once
#include <stdint.h>

inline unsigned char *put8(unsigned char *p, unsigned v)
{
    p[0] = (unsigned char)v;
    return p + 1;
}

inline unsigned char *put16le(unsigned char *p, unsigned v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    return p + 2;
}

inline unsigned char *put32le(unsigned char *p, uint32_t v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
    return p + 4;
}
