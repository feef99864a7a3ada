#pragma once
// Text on the screen: the current font and alignment, the default font made
// at first need, the line model ('#' breaks, "\#" a literal '#', wrapping at
// spaces and hyphens) and the placing of each line, handed to the font.
#include <string>
#include <vector>

class CFont;

// The current font: a font index, -1 for the default font. A font that does
// not exist selects the default font.
void GR_Text_Set_Font(int font);
int GR_Text_Get_Font();
// fa_left 0, fa_center 1, fa_right 2 / fa_top 0, fa_middle 1, fa_bottom 2;
// any other value means 0.
void GR_Text_Set_Halign(int align);
void GR_Text_Set_Valign(int align);
int GR_Text_Get_Halign();
int GR_Text_Get_Valign();

// The font text is drawn and measured with: the current font, or the
// default font (Arial 12, characters 32 to 127), made on first use.
const CFont& GR_Text_Font();

// The lines of a UTF-8 text as character codes of the font: escapes and
// line ends resolved, then each line wrapped at width w (none when w < 0).
std::vector<std::string> GR_Text_Lines(const CFont& font, const std::string& text, int w);

// Measures as string_width(_ext) and string_height(_ext) do: the widest
// line (at least 1); the font height plus sep for each further line (1 for
// no line). sep < 0 means the font height, w < 0 no wrapping.
int GR_Text_Width(const std::string& text, int sep, int w);
double GR_Text_Height(const std::string& text, int sep, int w);

// Colours of a drawn text: one colour with alpha, or a horizontal gradient
// over each line with the corners c1 (top-left) .. c4 (bottom-left).
struct RTextColors {
  bool gradient = false;
  int color = 0;
  int c[4] = {0, 0, 0, 0};
  double alpha = 1;
};
// The draw colour and alpha, as plain text is drawn.
RTextColors GR_Text_Draw_Colors();
// Where the draw colour and alpha come from: the drawing-state module
// installs its own; until then black with alpha 1.
extern void (*TextColorProvider)(int& color, double& alpha);

// draw_text(_ext)(_color): lines sep apart (sep < 0: the font height),
// aligned about (x, y).
void GR_Text_Draw(double x, double y, const std::string& text, int sep, int w, const RTextColors& colors);
// The _transformed forms: scaled and turned by angle degrees about (x, y).
void GR_Text_Draw_Transformed(double x, double y, const std::string& text, int sep, int w, double xscale,
                              double yscale, double angle, const RTextColors& colors);

// Back to the start: default alignment and font, the default font dropped
// (tests, and a device made anew).
void GR_Text_Reset();
