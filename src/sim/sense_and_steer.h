// The steering pass: each particle samples the sensing image at three points ahead of it
// and turns towards the brightest. It runs in two parts: the sensing and the turns that
// need no draw, over any range of particles on any thread; then, in particle order, the
// turns that take a draw from the engine.
#ifndef VELUNARY_SIM_SENSE_AND_STEER_H
#define VELUNARY_SIM_SENSE_AND_STEER_H

#include <cstddef>
#include <cstdint>

#include "pf_effect.h"
#include "sim/particle.h"
#include "sim/random.h"
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

// A particle whose new heading takes a draw from the sensing engine: one that sensed
// outside the image gets a random heading, one that saw both sides brighter than ahead
// tosses a coin between them.
struct PendingDraw {
  std::int32_t index;
  bool offImage;
};

// The part of the pass that depends on each particle alone: places the sensors of
// particles [first, last), reads the image and applies every turn that needs no draw.
// The particles that need one keep their headings; they go, in index order, to
// `pending` (room for last - first entries), and the count is returned. Reads of the
// image are bounded by width and height, not by the image's own fields. The sines and
// cosines come from `trig`, which no other thread may use meanwhile.
int SteerWithoutDraws(Particle* particles, int first, int last, int width, int height,
                      const SensingImage& sensing, SinCosMemo& trig, PendingDraw* pending);

// The draws of `count` pending particles, in the order given, from `engine`: each takes
// two outputs whatever it decides, so an engine walked over the pending particles of
// consecutive ranges in order draws exactly as one pass over their union would.
void DrawPendingTurns(Particle* particles, const PendingDraw* pending, int count,
                      RandomEngine& engine);

}  // namespace velunary

#endif
