#pragma once
// Built-in functions of motion: setting and adding motion, snapping,
// wrapping, random free places, distances, the straight-line and
// potential-field steppers with their paths, and the planning grids.
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Motion;

// The potential-field settings back to their starting values (a new run).
void ResetPotentialSettings();
