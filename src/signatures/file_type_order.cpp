#include "signatures/file_type_order.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/registry.h"

namespace {

constexpr size_t kMaxOrderEntries = 32767;

std::u16string OrderKey(std::u16string_view applicationKey) {
  return std::u16string(applicationKey) + u"\\File Type Order";
}

}  // namespace

std::vector<int32_t> ReadSavedOrder(std::u16string_view applicationKey, std::u16string_view list) {
  platform::RegistryKey key;
  std::vector<uint8_t> data;
  if (key.Open(platform::RegistryRoot::CurrentUser, OrderKey(applicationKey)) !=
          platform::kErrorSuccess ||
      key.ReadBinary(list, &data) != platform::kErrorSuccess)
    return {};
  std::vector<int32_t> ids(std::min(data.size() / 4, kMaxOrderEntries));
  if (!ids.empty()) std::memcpy(ids.data(), data.data(), ids.size() * 4);
  return ids;
}

void WriteSavedOrder(std::u16string_view applicationKey, std::u16string_view list,
                     const std::vector<std::unique_ptr<FileType>>& records,
                     int32_t FileTypeHeader::*id) {
  std::vector<int32_t> ids;
  for (const auto& record : records) ids.push_back((*record).*id);
  platform::RegistryKey key;
  if (key.Create(platform::RegistryRoot::CurrentUser, OrderKey(applicationKey)) !=
      platform::kErrorSuccess)
    return;
  key.WriteBinary(list, ids.data(), static_cast<uint32_t>(ids.size() * 4));
}

void SortByOrder(std::vector<std::unique_ptr<FileType>>& records, const std::vector<int32_t>& order,
                 int32_t FileTypeHeader::*id) {
  std::unordered_map<int32_t, size_t> rank;
  for (size_t i = 0; i < order.size(); ++i) rank.emplace(order[i], i);
  auto rankOf = [&](const std::unique_ptr<FileType>& record) {
    auto found = rank.find((*record).*id);
    return found == rank.end() ? order.size() : found->second;
  };
  std::stable_sort(records.begin(), records.end(),
                   [&](const auto& a, const auto& b) { return rankOf(a) < rankOf(b); });
}
