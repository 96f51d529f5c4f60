#pragma once

// The X11 state bits of the four keys that open wheels. NumLock (Mod2), CapsLock (Lock), the
// pointer buttons and every other bit never count: a reading is masked with `counted` first.
namespace ModifierMasks {

inline constexpr unsigned shift = 1u << 0;   // ShiftMask
inline constexpr unsigned control = 1u << 2; // ControlMask
inline constexpr unsigned alt = 1u << 3;     // Mod1Mask
inline constexpr unsigned super = 1u << 6;   // Mod4Mask
inline constexpr unsigned counted = shift | control | alt | super;

} // namespace ModifierMasks
