// The stress checks: the Source opened and closed, enabled and disabled,
// many times over, with the memory the process holds measured around it.
#pragma once

#include <cstdint>

struct CheckContext;

void StressOpenClose(CheckContext& context);
void StressEnableDisable(CheckContext& context);
// Only when asked (--with-ui): the Source's own user interface.
void UiShown(CheckContext& context);

// How long a Source showing its dialog is watched for an image nobody asked for.
constexpr std::uint32_t kUiQuietMs = 2000;

// Growth over all the cycles that still counts as none: a few blocks a
// Manager may keep, and what a heap grows by in pages.
constexpr std::int64_t kStressBlockGrowth = 4;
constexpr std::uint64_t kStressPrivateGrowth = 2u << 20;
