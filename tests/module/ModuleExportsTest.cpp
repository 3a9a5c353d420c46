// The module declaration exports exactly the entry points, by their plain
// names, on every platform; the test loads a probe module the way a host
// does (by file, then by symbol name) and calls what it finds.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

class LoadedModule {
 public:
  explicit LoadedModule(const char* path) {
#ifdef _WIN32
    m_handle = LoadLibraryA(path);
#else
    m_handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
  }
  ~LoadedModule() {
    if (m_handle == nullptr) return;
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(m_handle));
#else
    dlclose(m_handle);
#endif
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  bool Loaded() const { return m_handle != nullptr; }
  void* Symbol(const char* name) const {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_handle), name));
#else
    return dlsym(m_handle, name);
#endif
  }

 private:
  void* m_handle = nullptr;
};

#ifdef _WIN32
using DialogProc = intptr_t(__stdcall*)(void*, unsigned, uintptr_t, intptr_t);
#else
using DialogProc = intptr_t (*)(void*, unsigned, uintptr_t, intptr_t);
#endif
using EntryPoint = void (*)(int16_t, void*, intptr_t*, int16_t*);

class ModuleExports : public ::testing::Test {
 protected:
  LoadedModule m_module{VELKOR_PROBE_MODULE};
};

TEST_F(ModuleExports, FileNameFollowsThePlatform) {
  const std::string path = VELKOR_PROBE_MODULE;
#ifdef _WIN32
  EXPECT_TRUE(path.ends_with("/ProbeModule.8bi")) << path;
#else
  EXPECT_TRUE(path.ends_with("/ProbeModule.so")) << path;
#endif
  ASSERT_TRUE(m_module.Loaded()) << path;
}

TEST_F(ModuleExports, EntryPointsAreFoundByPlainNameAndCallable) {
  ASSERT_TRUE(m_module.Loaded());
  auto entry = reinterpret_cast<EntryPoint>(m_module.Symbol("PluginMain"));
  ASSERT_NE(entry, nullptr);
  intptr_t data = 0;
  int16_t result = 0;
  entry(7, nullptr, &data, &result);
  EXPECT_EQ(data, 15);
  EXPECT_EQ(result, -7);

  auto dialog = reinterpret_cast<DialogProc>(m_module.Symbol("GenericProc"));
  ASSERT_NE(dialog, nullptr);
  // A wrong calling convention would unbalance the stack on i686; the sum
  // also shows every argument arrived where it was sent.
  EXPECT_EQ(dialog(nullptr, 0x110, 5, 1000), 0x110 + 5 + 1000);
}

TEST_F(ModuleExports, NothingElseIsExported) {
  ASSERT_TRUE(m_module.Loaded());
  for (const char* hidden : {"ProbeInternalHelper", "GenericProc@16", "_GenericProc@16", "_PluginMain"}) {
    EXPECT_EQ(m_module.Symbol(hidden), nullptr) << hidden;
  }
}

}  // namespace
