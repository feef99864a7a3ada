#pragma once
// The untextured drawing of the game: the draw colour, alpha and circle
// precision, the colour arithmetic of the language, the shapes and the free
// primitive builder. Every shape goes through GR_D3D_Draw, so the device's
// batching joins consecutive shapes into few draw calls.
#include <cstdint>

#include "platform/Render_Device.h"

// Draw state, process-wide and never reset by rooms.
void GR_Draw_Set_Color(int color);
int GR_Draw_Get_Color();  // the colour integer, alpha dropped
void GR_Draw_Set_Alpha(double alpha);
double GR_Draw_Get_Alpha();
uint32_t GR_Draw_Vertex_Color();  // the draw colour with the draw alpha
// Clamped to 4 ... 64 and rounded down to a multiple of 4.
void GR_Draw_Set_Circle_Precision(int precision);
int GR_Draw_Get_Circle_Precision();
// Back to the start values (black, alpha 1, precision 24, empty builder).
void GR_Draw_Reset_State();

// Colour arithmetic on colour integers (0x00BBGGRR). Results that may leave
// the 24 bits (no clamping) are reals.
double GR_Color_Make_RGB(double r, double g, double b);
int GR_Color_Make_HSV(int h, int s, int v);  // low 8 bits of each argument
int GR_Color_Get_Hue(int color);
int GR_Color_Get_Saturation(int color);
int GR_Color_Get_Value(int color);
double GR_Color_Merge(int c1, int c2, double amount);

// Clears the current viewport to the colour (alpha 255 for draw_clear) and
// its depth to 1.
void GR_Draw_Clear(int color, double alpha);

// Shapes. Colour arguments are colour integers and take the draw alpha; the
// forms without colours use the draw colour.
void GR_Draw_Point(double x, double y);
void GR_Draw_Point_Color(double x, double y, int col);
void GR_Draw_Line(double x1, double y1, double x2, double y2);
void GR_Draw_Line_Color(double x1, double y1, double x2, double y2, int col1, int col2);
void GR_Draw_Line_Width(double x1, double y1, double x2, double y2, double w);
void GR_Draw_Line_Width_Color(double x1, double y1, double x2, double y2, double w, int col1, int col2);
void GR_Draw_Rectangle(double x1, double y1, double x2, double y2, bool outline);
void GR_Draw_Rectangle_Color(double x1, double y1, double x2, double y2, int c1, int c2, int c3, int c4,
                             bool outline);
void GR_Draw_Roundrect(double x1, double y1, double x2, double y2, bool outline);
void GR_Draw_Roundrect_Color(double x1, double y1, double x2, double y2, int col1, int col2, bool outline);
void GR_Draw_Triangle(double x1, double y1, double x2, double y2, double x3, double y3, bool outline);
void GR_Draw_Triangle_Color(double x1, double y1, double x2, double y2, double x3, double y3, int c1, int c2, int c3,
                            bool outline);
void GR_Draw_Ellipse(double x1, double y1, double x2, double y2, bool outline);
void GR_Draw_Ellipse_Color(double x1, double y1, double x2, double y2, int col1, int col2, bool outline);
void GR_Draw_Circle(double x, double y, double r, bool outline);
void GR_Draw_Circle_Color(double x, double y, double r, int col1, int col2, bool outline);
void GR_Draw_Arrow(double x1, double y1, double x2, double y2, double size);
void GR_Draw_Button(double x1, double y1, double x2, double y2, bool up);
void GR_Draw_Healthbar(double x1, double y1, double x2, double y2, double amount, int backcol, int mincol,
                       int maxcol, int direction, bool showback, bool showborder);

// The primitive builder: begin with a kind (1 point list ... 6 triangle fan)
// and a texture (-1 none), add vertices (at most kMaxPrimitiveVertices; more
// are ignored), end to draw. The vertices stay until the next begin.
constexpr int kMaxPrimitiveVertices = 1001;
void GR_Draw_Primitive_Begin(int kind, int tex);
// u, v are texture coordinates of the whole texture (0 ... 1).
void GR_Draw_Vertex(double x, double y, uint32_t color, double u, double v);
void GR_Draw_Primitive_End();
int GR_Draw_Primitive_Count();  // vertices held by the builder
