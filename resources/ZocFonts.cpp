#include "resources/ZocFonts.h"

// Defined by the sources generated from the font files at build time.
extern const unsigned char zt_font_cousine[];
extern const size_t zt_font_cousine_size;
extern const unsigned char zt_font_awesome_solid[];
extern const size_t zt_font_awesome_solid_size;
extern const unsigned char zt_font_karla[];
extern const size_t zt_font_karla_size;
extern const unsigned char zt_font_roboto_medium[];
extern const size_t zt_font_roboto_medium_size;

ZocFonts::Data ZocFonts::CousineRegular() {
    return {zt_font_cousine, zt_font_cousine_size};
}

ZocFonts::Data ZocFonts::FontAwesomeSolid() {
    return {zt_font_awesome_solid, zt_font_awesome_solid_size};
}

ZocFonts::Data ZocFonts::KarlaRegular() {
    return {zt_font_karla, zt_font_karla_size};
}

ZocFonts::Data ZocFonts::RobotoMedium() {
    return {zt_font_roboto_medium, zt_font_roboto_medium_size};
}
