// The rewrite and the listing as they stood before walkTag, kept while the
// property and fuzz tests compare them with the ones that read its record.
#pragma once

#include "engine/rewrite_tag.h"

RewriteOutcome rewriteTagBeforeWalk(FileImage input, uint8_t *output);
RewriteOutcome listTargetTextsBeforeWalk(FileImage input, TargetText *texts, size_t capacity,
                                         size_t &count);
