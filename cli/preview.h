// The dry run's view of one file: each title, artist and album text before
// and after the conversion, with [ ] around every character that the
// conversion replaces by '?' or a look-alike (library/text_marks.h).
#pragma once

#include "catalogue/catalogue.h"
#include "engine/rewrite_tag.h"
#include "library/text_marks.h"

#include <string>

// Lines for the strings of a tag region (record: its walk) that rewriteTag
// would convert with these settings.
std::string previewText(const Catalogue &messages, FileImage tagRegion, const TagRecord &record,
                        RewriteSettings settings, PreviewMarks &marks);
