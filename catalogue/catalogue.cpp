#include "catalogue/catalogue.h"

#include <cstring>

namespace {

const char COUNT_PLACEHOLDER[] = "count"; // filled by countedText

// The value of the placeholder name[0, length), or null when it has none.
const std::string *valueOf(const char *name, size_t length,
                           std::initializer_list<Argument> arguments, const std::string *count) {
  if (count != nullptr && length == sizeof COUNT_PLACEHOLDER - 1 &&
      std::strncmp(name, COUNT_PLACEHOLDER, length) == 0)
    return count;
  for (const Argument &argument : arguments) {
    if (std::strlen(argument.name) == length && std::strncmp(name, argument.name, length) == 0)
      return &argument.value;
  }
  return nullptr;
}

// The format with each "{name}" that has a value replaced by it, in one
// pass; other braces are kept.
std::string fill(const char *format, std::initializer_list<Argument> arguments,
                 const std::string *count) {
  std::string out;
  const char *rest = format;
  while (const char *open = std::strchr(rest, '{')) {
    out.append(rest, open);
    const char *close = std::strchr(open + 1, '}');
    const std::string *value =
        close == nullptr
            ? nullptr
            : valueOf(open + 1, static_cast<size_t>(close - open - 1), arguments, count);
    if (value == nullptr) {
      out += '{';
      rest = open + 1;
      continue;
    }
    out += *value;
    rest = close + 1;
  }
  return out + rest;
}

const char *formatOf(const Catalogue &catalogue, Message message) {
  return catalogue.messages[static_cast<size_t>(message)].format;
}

const char *formatOf(const Catalogue &catalogue, CountedMessage message, size_t form) {
  return catalogue.counted[static_cast<size_t>(message)].forms[form];
}

} // namespace

std::string messageText(const Catalogue &catalogue, Message message,
                        std::initializer_list<Argument> arguments) {
  return fill(formatOf(catalogue, message), arguments, nullptr);
}

std::string countedText(const Catalogue &catalogue, CountedMessage message, uint64_t count,
                        std::initializer_list<Argument> arguments) {
  const std::string number = std::to_string(count);
  return fill(formatOf(catalogue, message, catalogue.selectPlural(count)), arguments, &number);
}
