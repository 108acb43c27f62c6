#pragma once
// The monitor's colours, ARGB, each named once for every panel, the graph
// and the window without hosts.
#include <cstdint>

constexpr uint32_t windowBackground = 0xFF1E1E1E;
constexpr uint32_t buttonFace = 0xFF0066CC;
constexpr uint32_t lightText = 0xFFF5FFFF;      // also a button's face under the pointer
constexpr uint32_t darkText = 0xFF010101;       // on light faces and the tooltip
constexpr uint32_t separatorGrey = 0xFF888B8B;  // separators, graph edge, tooltip
constexpr uint32_t noticeRed = 0xFFE06C75;

constexpr uint32_t graphBackground = 0xFFFFFFFF;
constexpr uint32_t graphLabels = 0xFF000000;
constexpr uint32_t goodSample = 0xFF00C800;
constexpr uint32_t badSample = 0xFFC80000;
