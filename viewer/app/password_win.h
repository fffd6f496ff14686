#pragma once
// The dialog that asks for the password to open a presentation before its show starts.
#include <windows.h>

#include <functional>
#include <string>

namespace viewer {

constexpr char kPasswordTitle[] = "Password";
// Controls tests find the dialog's parts by.
constexpr int kPasswordEdit = 101;
constexpr int kPasswordPrompt = 102;
constexpr int kPasswordMessage = 103;

// Returns true when a password was taken and `opens` said it was the end of asking (it opened
// the presentation, or the presentation cannot be opened at all); false when the user cancelled.
// `opens` returns false for a wrong password: the dialog says so and asks again.
using PasswordCheck = std::function<bool(const std::u16string& password)>;
bool AskPassword(const std::string& file_name, const PasswordCheck& opens);

}  // namespace viewer
