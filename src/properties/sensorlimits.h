#pragma once

// Bounds of what the sensor properties accept from controllers, clients and
// interface descriptions. Every size is checked against these before any
// buffer is made from it.
namespace CVNSensorLimits
{
// Largest sensor grid (cells) and side (cells) taken from "fsize", frame
// info texts or descriptions.
constexpr int MaxGridCells = 65536;
constexpr int MaxGridSide = 4096;
// Bytes per cell a frame info text may announce.
constexpr int MaxBytesPerCell = 4;

// Frames arrive in input reports of id 9: the id, then 4032 frame bytes.
constexpr int FrameReportId = 9;
constexpr int FrameChunkBytes = 4032;
constexpr int FrameReportSize = FrameChunkBytes + 1;

// Cell mask and foil health result: 64-byte blocks of a 4-byte header
// ("bs"/"bg" and two decimal digits) and 60 bytes = 480 cells.
constexpr int BlockHeaderBytes = 4;
constexpr int BlockPayloadBytes = 60;
constexpr int BlockCells = BlockPayloadBytes * 8;
// The two-digit block index addresses at most 100 blocks.
constexpr int MaxBlocks = 100;
constexpr int MaxBlockCells = MaxBlocks * BlockCells - 1;

// Structured writes of the cell mask: items taken from one request.
constexpr int MaxMaskItems = 4096;
} // namespace CVNSensorLimits
