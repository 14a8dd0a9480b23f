#include "model/CustomTemplate.h"

#include "util/Hash.h"

json::Value CustomTemplate::toJson() const {
    return json::Value{
        {"id", id}, {"label", label}, {"detail", detail}, {"instruction", instruction}};
}

CustomTemplate CustomTemplate::fromJson(const json::Value& v) {
    json::asObject(v, "template");
    return CustomTemplate{json::requireString(v, "id"), json::requireString(v, "label"),
                          json::requireString(v, "detail"), json::requireString(v, "instruction")};
}

std::size_t std::hash<CustomTemplate>::operator()(const CustomTemplate& v) const noexcept {
    return hashing::of(v.id, v.label, v.detail, v.instruction);
}
