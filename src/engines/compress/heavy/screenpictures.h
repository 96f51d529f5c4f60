#pragma once

class Job;
class QPDF;

// Pictures of a PDF brought down to what a screen shows.
namespace ScreenPictures {

// Scales every picture drawn above `ppi` (at its largest drawn size) down to `ppi` and stores it
// as JPEG, where that is smaller than what it replaces. Pictures it can't carry over faithfully
// are left as they are: stencils, masks by colour, decode arrays, depths other than 8 bits,
// colour spaces other than grey and RGB, data qpdf can't decode. Returns how many it replaced;
// throws Cancelled when `job` is cancelled between pictures.
int downsample(QPDF& pdf, double ppi, Job& job);

} // namespace ScreenPictures
