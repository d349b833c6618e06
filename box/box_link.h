// The link to the box: three operations that every box exchange is written against, so that the
// same operation code runs over USB and over TCP.
#pragma once

#include <cstddef>

class BoxLink {
public:
    virtual ~BoxLink() = default;
    // Writes nLength bytes; *pnCount receives the number written.
    virtual bool Send(const char* pData, size_t nLength, size_t* pnCount) = 0;
    // Reads up to (TCP) or exactly (USB) nLength bytes; *pnCount receives the number read.
    virtual bool Receive(char* pBuffer, size_t nLength, size_t* pnCount) = 0;
    // Discards input that is waiting. Every caller passes 0.
    virtual bool Drain(int nFlag) = 0;
};
