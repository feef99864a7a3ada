#pragma once
// The text and font functions of the language.

// Registers draw_set_font and the alignments, the draw_text family,
// string_width and string_height with their _ext forms, and the font
// resource functions (font_exists ... font_add, font_replace, font_delete).
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Text;
