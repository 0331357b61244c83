#pragma once

#include <windows.h>

#include <propidl.h>

// A PROPVARIANT that starts empty and is cleared when it goes.
class PropVariant : public PROPVARIANT {
  public:
    PropVariant() { PropVariantInit(this); }
    ~PropVariant() { PropVariantClear(this); }
    PropVariant(const PropVariant&) = delete;
    PropVariant& operator=(const PropVariant&) = delete;

    // Empties it for the next read.
    PROPVARIANT* Reset() {
        PropVariantClear(this);
        return this;
    }
};
