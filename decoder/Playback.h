// The bodies of the library's exports.
#pragma once

#include "MP3Request.h"

namespace mp3 {

// Runs on the calling playback thread until the song ends or a stop; posts
// MP3_MSG_ENDED exactly once, as it returns.
void Play(const MP3REQUEST* request);
// Stops every Play running now; later ones are not affected. Returns at once.
void StopAll();
// Length and unit of the request's file in ms, 0 and 0 when it has no audio. Stamps
// the request (Reserved2) with the stops seen so far, so that a Play of it also ends
// on any later stop, even one that comes before Play begins.
void GetTime(MP3REQUEST* request, double* lengthMs, double* unitMs);

} // namespace mp3
