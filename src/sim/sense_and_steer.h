// The steering pass: each particle samples the sensing image at three points ahead of it
// and turns towards the brightest. Runs on a worker thread over one index range.
#ifndef VELUNARY_SIM_SENSE_AND_STEER_H
#define VELUNARY_SIM_SENSE_AND_STEER_H

#include <cstddef>
#include <cstdint>

#include "pf_effect.h"
#include "sim/particle.h"
#include "sim/sin_cos.h"

namespace velunary {

// What a sensing pass reads. A host image holds four bytes a pixel (alpha, red, green,
// blue). A gray plane holds one, the common value of red, green and blue, of an image
// whose every pixel is gray: luminance grows strictly with that value, so comparing the
// bytes decides exactly as comparing the luminances would, and the scattered reads of the
// pass touch a quarter of the memory.
struct SensingImage {
  const std::uint8_t* data;
  std::ptrdiff_t rowbytes;
  bool gray;
};

SensingImage HostSensingImage(const PF_LayerDef& world);

// Writes the gray value of each pixel of `world` into `plane` (rows of `width` bytes,
// `height` of them) and answers true; answers false, the plane then undefined, when some
// pixel's red, green and blue differ. Alpha is not looked at, as sensing ignores it.
bool MakeGrayPlane(const PF_LayerDef& world, int width, int height, std::uint8_t* plane);

// Processes particles [first, last) in order, writing headings only. The thread's
// sensingRandom is seeded with `seed` on the thread's first call. Reads of the image are
// bounded by width and height, not by the image's own fields.
// The sines and cosines come from `trig`, which no other thread may use meanwhile.
void SenseAndSteer(Particle* particles, int first, int last, int width, int height,
                   const SensingImage& sensing, int seed, SinCosMemo& trig);

}  // namespace velunary

#endif
