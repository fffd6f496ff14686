#pragma once
// The product's names that more than one program uses. The maker's addresses are a reserved
// example domain until the product has its own.
namespace kestrane::product {

constexpr char kHomePage[] = "http://www.example.com/kestrane/";
constexpr char kHomeHost[] = "www.example.com";
constexpr char kSupportAddress[] = "support@example.com";

// Captions of the invisible marker windows that others find and close: the launcher's, and the
// converter's own. Closing either ends its program.
constexpr char kLauncherMarker[] = "TunaTunaTuna";
constexpr char kConverterMarker[] = "TunaTunaTunaTuna";

// Where the per-user settings live: application, section, and the one key.
constexpr char kSettingsApp[] = "kestrane";
constexpr char kSettingsSection[] = "kestrane";
constexpr char kIconSetting[] = "icon";

}  // namespace kestrane::product
