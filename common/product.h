#pragma once
// The maker's addresses, shared by every program. A reserved example domain until the product
// has its own.
namespace kestrane::product {

constexpr char kHomePage[] = "http://www.example.com/kestrane/";
constexpr char kHomeHost[] = "www.example.com";
constexpr char kSupportAddress[] = "support@example.com";

}  // namespace kestrane::product
