#pragma once
// The language's untextured drawing: draw colour and alpha, the colour
// functions, clearing, the shapes, draw_path and the primitive builder.
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Draw;
