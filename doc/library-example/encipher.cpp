// Enciphers a text with the settings of a directory, deciphers it again and shows both.
#include <rotorwerk/rotorwerk.h>

#include <iostream>

int main(int argc, char** argv) {
  namespace api = rotorwerk::api;
  const auto settings = api::Settings::load(argc > 1 ? argv[1] : ".");
  if (!settings) {
    std::cerr << api::describe(settings.fault()) << '\n';
    return 1;
  }
  const auto code = api::encrypt(*settings, argc > 2 ? argv[2] : "Attack at dawn");
  if (!code) {
    std::cerr << api::describe(code.fault()) << '\n';
    return 1;
  }
  const auto text = api::decrypt(*settings, *code);
  if (!text) {
    std::cerr << api::describe(text.fault()) << '\n';
    return 1;
  }
  std::cout << *code << '\n'
            << text->text << (text->verification.verified() ? " (verified)" : " (NOT verified)")
            << '\n';
  return text->verification.verified() ? 0 : 1;
}
