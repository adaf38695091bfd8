#include "platform/win32/text_convert_win.h"

#include <windows.h>

namespace zentro::platform::win32 {

std::wstring toWide(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
  return out;
}

std::string fromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

std::string fromWideUntilNul(std::wstring_view buffer) {
  return fromWide(buffer.substr(0, buffer.find(L'\0')));
}

std::wstring toWideLines(std::string_view text) {
  std::wstring wide = toWide(text);
  std::wstring out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\r') {
      out += L"\r\n";
      if (i + 1 < wide.size() && wide[i + 1] == L'\n') ++i;
    } else if (wide[i] == L'\n') {
      out += L"\r\n";
    } else {
      out += wide[i];
    }
  }
  return out;
}

std::string errorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  // WinHTTP's codes live in its own module's message table.
  HMODULE winhttp = GetModuleHandleW(L"winhttp.dll");
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                FORMAT_MESSAGE_IGNORE_INSERTS | (winhttp ? FORMAT_MESSAGE_FROM_HMODULE : 0);
  DWORD n = FormatMessageW(flags, winhttp, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                           nullptr);
  std::string text;
  if (n > 0 && buffer) text = fromWide(std::wstring_view(buffer, n));
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                           text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) text = "error " + std::to_string(code);
  return text;
}

}  // namespace zentro::platform::win32
