#pragma once

// Keeps a product in single precision. The 32-bit build computes on the x87
// unit, whose wider registers would otherwise turn 1600 * (608 / 1600) into
// 607.99... and truncate it to 607.
inline float SinglePrecision(float value) {
    volatile float stored = value;
    return stored;
}
