// What a car needs from a copy, as sorabun-cli --car and the copy window's
// カーナビ向けに変換 ask for it: every string of every frame in code page 932,
// look-alikes instead of '?', the tag written as version 2.3 (many units
// read nothing newer), and an ID3v1 tag for the units that read nothing else.
#pragma once

#include "engine/rewrite_tag.h"

struct CopyConversion {
  RewriteSettings rewrite;
  bool id3v1; // each copy ends with an ID3v1 tag made from its converted tag
};

constexpr CopyConversion CAR_CONVERSION{
    RewriteSettings{FrameScope::AllFrames, TextSettings{true}, TagVersion::Version3}, true};
