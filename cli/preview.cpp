#include "cli/preview.h"

#include "catalogue/catalogue.h"
#include "cli/console.h"
#include "cli/texts.h"
#include "engine/text_values.h"

namespace {

// Control characters would move the cursor or forge lines: they are shown
// escaped, before and after alike.
void appendShown(const char16_t *units, size_t count, std::string &out) {
  std::string text;
  appendUtf16AsUtf8(units, count, text);
  out += escapeControls(text);
}

// Appends one character (one unit, or a surrogate pair) as it is converted.
void appendConverted(const char16_t *units, size_t count, TextSettings settings, std::string &after,
                     PreviewMarks &marks) {
  const ConvertedCharacter converted = convertCharacter(units, count, settings, marks);
  if (!converted.replaced) {
    appendShown(units, count, after);
    return;
  }
  after += '[';
  appendShown(converted.units, converted.count, after);
  after += ']';
}

void appendLine(std::string &lines, const std::string &label, const std::string &text,
                const char *ellipsis) {
  lines += label;
  lines += ' ';
  lines += text;
  lines += ellipsis;
  lines += '\n';
}

// One frame's text: its UTF-16 units (values of a list separated by a zero
// unit) and, unless its bytes are kept as they are, the converted text, its
// values separated by afterSeparator.
void describeText(const char16_t *units, size_t count, bool bytesKept, TextSettings settings,
                  const char *afterSeparator, std::string &before, std::string &after,
                  PreviewMarks &marks) {
  size_t i = 0;
  while (i < count) {
    if (units[i] == 0) {
      before += VALUE_SEPARATOR;
      after += afterSeparator;
      ++i;
      continue;
    }
    const size_t length = characterLength(units, i, count);
    appendShown(units + i, length, before);
    if (bytesKept) {
      appendShown(units + i, length, after);
    } else {
      appendConverted(units + i, length, settings, after, marks);
    }
    i += length;
  }
}

struct Preview {
  const Catalogue &messages;
  RewriteSettings settings;
  PreviewMarks &marks;
  std::string lines;
};

// A text's lines: before and after, and the values that a reader of
// version 2.3 drops when the rewrite keeps the tag's version (version 2.3
// output joins them with "/", as such readers expect).
void previewTarget(void *context, const DecodedTarget &target) {
  auto &preview = *static_cast<Preview *>(context);
  const size_t converted = convertedCount(target, preview.settings.version);
  const bool joins = preview.settings.version == TagVersion::Version3 &&
                     (target.text->isList || target.shownCount < target.count);
  std::string before;
  std::string after;
  describeText(target.units, converted, target.bytesKept, preview.settings.text,
               joins ? VERSION3_VALUE_SEPARATOR : VALUE_SEPARATOR, before, after, preview.marks);
  std::string dropped;
  if (converted < target.count) {
    std::string droppedAfter;
    before += VALUE_SEPARATOR;
    PreviewMarks unmarked{};
    describeText(target.units + converted + 1, target.count - converted - 1, true,
                 preview.settings.text, VALUE_SEPARATOR, dropped, droppedAfter, unmarked);
    before += dropped;
  }
  const char *ellipsis = target.whole ? "" : ELLIPSIS;
  std::string identifier = target.text->identifier;
  identifier.resize(4, ' ');
  appendLine(preview.lines,
             "  " + identifier + "  " + messageText(preview.messages, Message::BeforeLabel), before,
             ellipsis);
  appendLine(preview.lines, "        " + messageText(preview.messages, Message::AfterLabel), after,
             converted < target.count ? "" : ellipsis);
  if (!dropped.empty())
    appendLine(preview.lines, "        " + messageText(preview.messages, Message::DroppedLabel),
               dropped, ellipsis);
}

} // namespace

std::string previewText(const Catalogue &messages, FileImage tagRegion, const TagRecord &record,
                        RewriteSettings settings, PreviewMarks &marks) {
  Preview preview{messages, settings, marks, std::string()};
  visitTargets(tagRegion, record, settings.scope, previewTarget, &preview);
  return preview.lines;
}
