#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One screen resolution the launcher offers in its drop-down list.
struct ResolutionOption {
    int32_t width;
    int32_t height;
    std::wstring label;
};

constexpr size_t kResolutionOptionCount = 8;

// The offered resolutions, in list order.
const ResolutionOption& ResolutionAt(size_t row);

// Index of the first row whose width and height both match; row 0 when none does.
size_t SelectResolutionRow(int32_t width, int32_t height);

// The client's window size from section "Client" of a setup.ini ("width",
// "height"); a missing file or key reads as 0.
void ReadClientResolution(const std::wstring& iniPath, int32_t& width, int32_t& height);
