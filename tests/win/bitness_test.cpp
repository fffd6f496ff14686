// The Windows tests are meant to exercise what users download: 32-bit programs, on a 32-bit Windows
// or under WoW64 on a 64-bit one. This test program is built like every other one, so if it runs
// as anything else, so did the rest of the suite.
#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(ShippedBuild, TheTestsRunAs32BitCodeOnA32BitWindowsOrUnderWow64) {
  static_assert(sizeof(void*) == 4, "the Windows tests must be built as 32-bit programs");
  ASSERT_EQ(sizeof(void*), 4u);

  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto is_wow64 = reinterpret_cast<IsWow64ProcessFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  if (is_wow64) {
    ASSERT_TRUE(is_wow64(GetCurrentProcess(), &wow64));
  }

  SYSTEM_INFO native{};
  GetNativeSystemInfo(&native);
  if (wow64) {
    EXPECT_TRUE(native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64)
        << native.wProcessorArchitecture;
  } else {
    EXPECT_EQ(native.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
  }

  // The image the loader mapped for this process is a PE32 one for the i386.
  auto base = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
  std::printf("running as 32-bit code %s\n", wow64 ? "under WoW64" : "on a 32-bit Windows");
}

}  // namespace
