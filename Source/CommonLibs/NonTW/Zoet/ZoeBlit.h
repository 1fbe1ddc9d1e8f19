// Conversion of decoded movie frames (Y, cR, cB and A planes) into pixels of
// a caller's surface.
#pragma once

#include <cstdint>

#include "ZoePlanes.h"

// Copy flags.
enum : uint32_t {
  SurfaceFormat = 0x0000000Fu,
  CopyAlphaAsLuma = 0x00000800u,
  CopySwapChroma = 0x00010000u,
  CopyGray = 0x00020000u,
  CopyScaleMode = 0x70000000u,
  CopyAllPixels = 0x80000000u,
};

// Surface formats (flags & SurfaceFormat).
enum : uint32_t {
  SurfaceIndex8 = 0,
  SurfaceB8G8R8 = 1,
  SurfaceR8G8B8 = 2,
  SurfaceB8G8R8X8 = 3,
  SurfaceR8G8B8X8 = 4,
  SurfaceB8G8R8A8 = 5,
  SurfaceR8G8B8A8 = 6,
  SurfaceA4R4G4B4 = 7,
  SurfaceA1R5G5B5 = 8,
  SurfaceX1R5G5B5 = 9,
  SurfaceR5G6B5 = 10,
  SurfaceR6G5B5 = 11,
  SurfaceR6G6B4 = 12,
  SurfaceYUYV = 13,
  SurfaceUYVY = 14,
  SurfaceYV12 = 15,
};

// Scale modes (flags & CopyScaleMode).
enum : uint32_t {
  ScaleNone = 0x00000000u,
  ScaleHeight2x = 0x10000000u,
  ScaleHeight2xInterlaced = 0x20000000u,
  ScaleWidth2x = 0x30000000u,
  ScaleBoth2x = 0x40000000u,
  ScaleWidth2xInterlaced = 0x50000000u,
  ScaleField = 0x60000000u,
};

// Selects and configures the converter for the flags; nonzero when one
// accepted them.
uint32_t YUV_init(uint32_t flags, uint32_t has_alpha);

// Converts the source rectangle of the planes to dest at (destx, desty).
void YUV_blit(void* dest, uint32_t destx, uint32_t desty, uint32_t pitch, uint32_t destheight,
              const FramePlaneSet* planes, uint32_t srcx, uint32_t srcy, uint32_t srcw, uint32_t srch, uint32_t flags);

// As YUV_blit, converting only the 16x16 blocks marked in the changed-block map.
void YUV_blit_mask(void* dest, uint32_t destx, uint32_t desty, uint32_t pitch, uint32_t destheight, const uint8_t* mask,
                   uint32_t mapPitch, const FramePlaneSet* planes, uint32_t srcx, uint32_t srcy, uint32_t srcw,
                   uint32_t srch, uint32_t flags);

// 256 palette entries (0x00RRGGBB) for SurfaceIndex8.
void ZoetGetPalette(uint32_t* palette);
