#include "library/text_marks.h"

#include "engine/ansi_text.h"
#include "engine/text_values.h"
#include "engine/unicode.h"

namespace {

constexpr size_t TEXTS_SHOWN = 64; // --all-frames lists every string of a tag

// One unit as its bytes in the code page read back; out holds at most 4.
size_t convertedUnits(char16_t unit, TextSettings settings, char16_t *out) {
  const LookAlike lookAlike = settings.foldLookAlikes ? ansiLookAlike(unit) : LookAlike{};
  if (lookAlike.length != 0)
    return decodeAnsi(lookAlike.bytes, lookAlike.length, out, 4);
  const char16_t text[2] = {unit, 0};
  uint8_t bytes[8] = {};
  const size_t written = encodeAnsi(text, bytes, sizeof bytes);
  if (written <= 1)
    return 0;
  return decodeAnsi(bytes, written - 1, out, 4);
}

struct Counting {
  RewriteSettings settings;
  PreviewMarks *marks;
};

void countTarget(void *context, const DecodedTarget &target) {
  const auto &counting = *static_cast<Counting *>(context);
  if (target.bytesKept)
    return;
  size_t length = 0;
  const size_t converted = convertedCount(target, counting.settings.version);
  for (size_t i = 0; i < converted; i += length) {
    length = characterLength(target.units, i, target.count);
    if (target.units[i] != 0) // a zero unit separates the values of a list
      convertCharacter(target.units + i, length, counting.settings.text, *counting.marks);
  }
}

} // namespace

size_t convertedCount(const DecodedTarget &target, TagVersion version) {
  return version == TagVersion::Version3 ? target.count : target.shownCount;
}

size_t characterLength(const char16_t *units, size_t i, size_t count) {
  return isHighSurrogate(units[i]) && i + 1 < count && isLowSurrogate(units[i + 1]) ? 2 : 1;
}

ConvertedCharacter convertCharacter(const char16_t *units, size_t count, TextSettings settings,
                                    PreviewMarks &marks) {
  ConvertedCharacter converted{};
  for (size_t i = 0; i < count; ++i) {
    converted.count += convertedUnits(units[i], settings, converted.units + converted.count);
    if (!settings.foldLookAlikes && ansiLookAlike(units[i]).length != 0)
      ++marks.foldableMarks;
  }
  bool same = converted.count == count;
  for (size_t i = 0; same && i < count; ++i)
    same = converted.units[i] == units[i];
  converted.replaced = !same;
  bool becomesQuestionMark = false;
  for (size_t i = 0; converted.replaced && i < converted.count; ++i)
    becomesQuestionMark = becomesQuestionMark || converted.units[i] == u'?';
  marks.questionMarks += becomesQuestionMark ? 1 : 0;
  marks.marked = marks.marked || converted.replaced;
  return converted;
}

void visitTargets(FileImage tagRegion, const TagRecord &record, FrameScope scope,
                  TargetVisitor visit, void *context) {
  TargetText texts[TEXTS_SHOWN];
  size_t count = 0;
  listTargetTexts(tagRegion, record, scope, texts, TEXTS_SHOWN, count);
  char16_t units[UNITS_SHOWN];
  for (size_t i = 0; i < count; ++i) {
    const TargetText &text = texts[i];
    size_t unitCount = 0;
    const bool dropsValues = text.shownLength < text.length;
    const bool whole = decodeFrameText(text.text, text.length, text.encoding,
                                       text.isList || dropsValues, units, UNITS_SHOWN, unitCount);
    size_t shownCount = unitCount;
    for (size_t unit = 0; dropsValues && unit < unitCount; ++unit) {
      if (units[unit] == 0) {
        shownCount = unit;
        break;
      }
    }
    visit(context, DecodedTarget{&text, units, unitCount, whole,
                                 text.encoding == TEXT_ENCODING_SINGLE_BYTE, shownCount});
  }
}

void countMarks(FileImage tagRegion, const TagRecord &record, RewriteSettings settings,
                PreviewMarks &marks) {
  Counting counting{settings, &marks};
  visitTargets(tagRegion, record, settings.scope, countTarget, &counting);
}
