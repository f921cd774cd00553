// Run-time class registration with creation by name.
//
// A class registers its name, its schema number and a factory that builds it with its default
// constructor; code that only knows the name (for instance from a stored file) creates the object
// through the registry of its base class. Registration normally happens while the program starts,
// from a CClassRegistration object in the class's own .cc file.
#ifndef DBC_CONDUIT_FORMAT_CLASS_REGISTRY_H_
#define DBC_CONDUIT_FORMAT_CLASS_REGISTRY_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

template <typename Base>
class CClassRegistry {
 public:
  // Builds an object, or answers null when it cannot (no memory).
  using Factory = std::unique_ptr<Base> (*)();

  struct CClassInfo {
    std::string name;
    int32_t schema = 0;
    Factory factory = nullptr;
  };

  // The one registry of classes derived from Base.
  static CClassRegistry& Instance() {
    static CClassRegistry registry;
    return registry;
  }

  // Registers a class; answers false (and keeps the earlier one) when the name is taken.
  bool Register(std::string_view name, int32_t schema, Factory factory) {
    if (Find(name) != nullptr || factory == nullptr) return false;
    classes_.push_back(CClassInfo{std::string(name), schema, factory});
    return true;
  }

  // The registered class of that name, or null.
  const CClassInfo* Find(std::string_view name) const {
    for (const CClassInfo& info : classes_) {
      if (info.name == name) return &info;
    }
    return nullptr;
  }

  // A new object of the class registered under name; null when no class has that name or the
  // object could not be built.
  std::unique_ptr<Base> Create(std::string_view name) const {
    const CClassInfo* info = Find(name);
    return info == nullptr ? nullptr : info->factory();
  }

 private:
  CClassRegistry() = default;
  std::vector<CClassInfo> classes_;
};

// Registers a class from a static object: `static CClassRegistration<CBaseTable> reg(...)`.
template <typename Base>
class CClassRegistration {
 public:
  CClassRegistration(std::string_view name, int32_t schema,
                     typename CClassRegistry<Base>::Factory factory) {
    CClassRegistry<Base>::Instance().Register(name, schema, factory);
  }
};

#endif  // DBC_CONDUIT_FORMAT_CLASS_REGISTRY_H_
