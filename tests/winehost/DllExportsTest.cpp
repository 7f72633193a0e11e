// The DLL as the editor sees it: exports by plain name and the resources they point to.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/winehost/PluginDll.h"

using WineHost::PluginDll;

namespace {

constexpr WORD Japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

TEST(DllExports, LoadsAndResolvesAllSevenByPlainName) {
  const auto& Dll = PluginDll();
  ASSERT_NE(Dll.Module, nullptr) << "LoadLibrary error " << GetLastError();
  EXPECT_NE(Dll.OnCommand, nullptr);
  EXPECT_NE(Dll.QueryStatus, nullptr);
  EXPECT_NE(Dll.OnEvents, nullptr);
  EXPECT_NE(Dll.PlugInProc, nullptr);
  ASSERT_NE(Dll.GetMenuTextID, nullptr);
  ASSERT_NE(Dll.GetStatusMessageID, nullptr);
  ASSERT_NE(Dll.GetBitmapID, nullptr);
  EXPECT_EQ(Dll.GetMenuTextID(), 1u);
  EXPECT_EQ(Dll.GetStatusMessageID(), 2u);
  EXPECT_EQ(Dll.GetBitmapID(), 101u);
}

std::wstring LoadString(UINT Id) {
  const wchar_t* Text = nullptr;
  const int Length = LoadStringW(PluginDll().Module, Id, reinterpret_cast<LPWSTR>(&Text), 0);
  return Length > 0 ? std::wstring(Text, Length) : std::wstring();
}

TEST(DllResources, JapaneseStringTableHoldsMenuAndStatusText) {
  ASSERT_NE(PluginDll().Module, nullptr);
  // String table entries 1 and 2 live in block 1.
  EXPECT_NE(FindResourceExW(PluginDll().Module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(1), Japanese),
            nullptr);
  EXPECT_EQ(LoadString(1), L"行の並び替え処理をする");
  EXPECT_EQ(LoadString(2), L"行を昇順降順に並び替えたり、重複行を削除する\nソート処理");
}

TEST(DllResources, BitmapIs16By16With256ColoursAndGreyCorners) {
  HMODULE Module = PluginDll().Module;
  ASSERT_NE(Module, nullptr);
  HRSRC Found = FindResourceExW(Module, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(101), Japanese);
  ASSERT_NE(Found, nullptr);
  ASSERT_EQ(SizeofResource(Module, Found), 1320u);
  const auto* Data = static_cast<const BYTE*>(LockResource(LoadResource(Module, Found)));
  const auto* Header = reinterpret_cast<const BITMAPINFOHEADER*>(Data);
  EXPECT_EQ(Header->biSize, 40u);
  EXPECT_EQ(Header->biWidth, 16);
  EXPECT_EQ(Header->biHeight, 16);
  EXPECT_EQ(Header->biBitCount, 8);
  EXPECT_EQ(Header->biCompression, static_cast<DWORD>(BI_RGB));
  const auto* Palette = reinterpret_cast<const RGBQUAD*>(Data + 40);
  const BYTE* Pixels = Data + 40 + 1024;
  auto Colour = [&](int X, int Y) { return Palette[Pixels[(15 - Y) * 16 + X]]; };
  for (auto [X, Y] : {std::pair{0, 0}, {15, 0}, {0, 15}, {15, 15}}) {
    const RGBQUAD C = Colour(X, Y);
    EXPECT_EQ((std::vector<int>{C.rgbRed, C.rgbGreen, C.rgbBlue}),
              (std::vector<int>{192, 192, 192}));
  }
  int Blue = 0, Green = 0;
  for (int Y = 0; Y < 16; ++Y) {
    for (int X = 0; X < 16; ++X) {
      const RGBQUAD C = Colour(X, Y);
      Blue += C.rgbBlue > 128 && C.rgbRed < 64 && C.rgbGreen < 64 && X < 8;
      Green += C.rgbGreen > 96 && C.rgbRed < 64 && C.rgbBlue < 64 && X >= 8;
    }
  }
  EXPECT_GT(Blue, 20) << "blue letters on the left";
  EXPECT_GT(Green, 20) << "green arrow on the right";
}

TEST(DllResources, VersionBlockHasOnlyFileVersionFilled) {
  ASSERT_NE(PluginDll().Module, nullptr);
  wchar_t Path[MAX_PATH];
  GetModuleFileNameW(PluginDll().Module, Path, MAX_PATH);
  const DWORD Size = GetFileVersionInfoSizeW(Path, nullptr);
  ASSERT_GT(Size, 0u);
  std::vector<BYTE> Block(Size);
  ASSERT_TRUE(GetFileVersionInfoW(Path, 0, Size, Block.data()));

  VS_FIXEDFILEINFO* Fixed = nullptr;
  UINT Length = 0;
  ASSERT_TRUE(VerQueryValueW(Block.data(), L"\\", reinterpret_cast<void**>(&Fixed), &Length));
  EXPECT_EQ(Fixed->dwFileVersionMS, 0x00010005u);
  EXPECT_EQ(Fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(Fixed->dwProductVersionMS, 0u);
  EXPECT_EQ(Fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(Fixed->dwFileFlags, 0u);

  WORD* Translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(Block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&Translation), &Length));
  ASSERT_EQ(Length, 4u);
  EXPECT_EQ(Translation[0], 0x0411);
  EXPECT_EQ(Translation[1], 0x04B0);

  auto Value = [&](const wchar_t* Key, bool& Present) {
    wchar_t* Text = nullptr;
    UINT Chars = 0;
    const std::wstring Path = std::wstring(L"\\StringFileInfo\\041104B0\\") + Key;
    Present = VerQueryValueW(Block.data(), Path.c_str(), reinterpret_cast<void**>(&Text), &Chars);
    return Present && Text && Chars > 0 ? std::wstring(Text) : std::wstring();
  };
  bool Present = false;
  EXPECT_EQ(Value(L"FileVersion", Present), L"1.5.0.0");
  for (const wchar_t* Key :
       {L"CompanyName", L"FileDescription", L"InternalName", L"LegalCopyright", L"LegalTrademarks",
        L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
    EXPECT_EQ(Value(Key, Present), L"") << Key;
    EXPECT_TRUE(Present) << Key;
  }
}

}  // namespace
