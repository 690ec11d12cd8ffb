#pragma once

namespace platform::mpv {

// Makes the C library hand memory back to the system once it is freed, for the whole process. Left
// to itself, glibc raises its thresholds after each large buffer is freed: once a clip of very large
// frames has played, the buffers of every later, ordinary clip come from the heaps of the decoder
// threads and are kept there, freed or not, for the rest of the run. Fixed thresholds keep large
// buffers in memory of their own, returned when freed, and trim each heap's free end. Once per
// process; later calls do nothing.
void returnFreedMemoryToSystem();

} // namespace platform::mpv
