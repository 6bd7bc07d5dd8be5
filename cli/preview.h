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

// One frame's text: its UTF-16 units (values of a list separated by a zero
// unit) and, unless its bytes are kept as they are, the converted text.
void describeText(const char16_t *units, size_t count, bool bytesKept, TextSettings settings,
                  std::string &before, std::string &after, PreviewMarks &marks);
