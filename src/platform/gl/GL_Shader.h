#pragma once
// The one shader pair of the OpenGL device, in all its feature variants.
// It does the fixed-function features the game uses (vertex colour, one
// modulating texture stage, alpha test, linear fog, flat or smooth shading),
// written once for GLSL 3.30 and GLSL ES 3.00.
// Each combination of features is compiled as its own program: a software
// renderer pays per pixel for every branch left in a shader.
#include <string>

// Vertex attribute locations of RDeviceVertex.
enum { kGLAttrPosition = 0, kGLAttrColor = 1, kGLAttrTexCoord = 2 };

// Feature bits of a program: the texture stage in bits 0-1 (vertex colour
// alone, texture x vertex colour, texture alone), then the switches.
enum {
  kGLModeColor = 0,
  kGLModeModulate = 1,
  kGLModeTexture = 2,
  kGLAlphaTest = 4,
  kGLFog = 8,
  kGLFlat = 16,
  kGLFeatureCombinations = 32
};

// Compiles and links the program with the given features for the current
// context (es: OpenGL ES 3.0). 0 with the compiler's log in error.
unsigned GL_BuildProgram(bool es, int features, std::string& error);
