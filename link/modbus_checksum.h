#pragma once
// The two MODBUS serial checks, shared by the master and the simulator.
#include <cstdint>
#include <span>
#include <vector>

namespace tessvar {

// CRC-16 of MODBUS RTU (polynomial 0xA001 reflected, initial 0xFFFF). On the wire the low
// byte goes first.
uint16_t ModbusCrc16(std::span<const uint8_t> bytes);

// LRC of MODBUS ASCII: the two's complement of the 8-bit sum of the binary bytes.
uint8_t ModbusLrc(std::span<const uint8_t> bytes);

// A MODBUS ASCII frame of binary bytes (address first): ':', the bytes and their LRC as
// upper-case hexadecimal pairs, CR LF.
std::vector<uint8_t> ModbusAsciiFrame(std::span<const uint8_t> binary);

}  // namespace tessvar
