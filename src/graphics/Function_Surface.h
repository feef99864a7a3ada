#pragma once
// The surface functions of the language: making, freeing, targeting,
// drawing, copying, reading and saving surfaces.
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Surface;
