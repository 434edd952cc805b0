#pragma once
#include <cstddef>

// The fonts kept inside the program as TrueType/OpenType data. The bytes are
// static and must not be freed (give them to the GUI's font atlas with
// FontDataOwnedByAtlas = false).
class ZocFonts {
public:
    struct Data {
        const unsigned char* bytes;
        size_t size;
    };

    static Data CousineRegular();   // monospace, the default font
    static Data FontAwesomeSolid(); // Font Awesome 5 solid icons (U+E005..U+F8FF)
    static Data KarlaRegular();     // text
    static Data RobotoMedium();     // titles
};
