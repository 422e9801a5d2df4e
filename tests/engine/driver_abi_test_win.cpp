// The drivers' binary interface: the operation tables use the standard
// calling convention (every operation removes its own arguments), and the
// library is found through the registry or in the current directory.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "acquisition/driver_interface_win.h"
#include "acquisition/driver_records.h"
#include "engine_harness.h"

namespace {

#if defined(__i386__)
// Pushes words[count-1] .. words[0], calls fn and returns how many bytes the
// callee left on the stack (0 for a standard-call operation). *result gets eax.
extern "C" int32_t stackLeftAfterCall(const void* fn, int32_t count, const int32_t* words, int32_t* result);
asm(R"(
  .text
  .globl _stackLeftAfterCall
_stackLeftAfterCall:
  pushl %ebp
  movl %esp, %ebp
  pushl %esi
  pushl %ebx
  movl 8(%ebp), %eax
  movl 12(%ebp), %ebx
  movl 16(%ebp), %edx
  movl %esp, %esi
1:
  testl %ebx, %ebx
  jz 2f
  decl %ebx
  pushl (%edx,%ebx,4)
  jmp 1b
2:
  call *%eax
  movl 20(%ebp), %ecx
  movl %eax, (%ecx)
  movl %esi, %eax
  subl %esp, %eax
  movl %esi, %esp
  popl %ebx
  popl %esi
  popl %ebp
  ret
)");

template <typename... A>
int32_t leftOver(const void* fn, int32_t* result, A... args) {
  const int32_t words[] = {static_cast<int32_t>(reinterpret_cast<intptr_t>(args))...};
  return stackLeftAfterCall(fn, sizeof...(A), words, result);
}
#define W(x) reinterpret_cast<void*>(static_cast<intptr_t>(x))

// The caller's side: esp around a call through the declared table type.
__attribute__((noinline)) int32_t espDriftThroughTable(IADCDevice* device) {
  uint32_t before, after;
  uint8_t byte = 0xF0;
  asm volatile("movl %%esp, %0" : "=r"(before));
  device->ops->writePort(device, 1, &byte, 1);
  asm volatile("movl %%esp, %0" : "=r"(after));
  return static_cast<int32_t>(before - after);
}

class DriverAbi : public EngineTest {};

TEST_F(DriverAbi, EveryOperationRemovesItsArguments) {
  writeSimConfig("board = KV320\n");
  IADCFactory* factory = loadDriverLibrary("Tarvelin", "Drivers", "1.0", "KV320E", "StaticFactory");
  ASSERT_NE(factory, nullptr);
  int32_t r = 0;
  static const char deviceName[] = "IADCDevice";
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(factory->ops->create), &r, factory, deviceName, W(0)), 0);
  auto* device = reinterpret_cast<IADCDevice*>(static_cast<intptr_t>(r));
  ASSERT_NE(device, nullptr);
  const IADCDeviceOps* d = device->ops;
  InfoRecord info;
  float fullScale = 0;
  uint8_t byte = 0xF0;
  static float values[64];
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(d->open), &r, device, W(1), W(0), W(0), W(0)), 0);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(d->setParameters), &r, device, W(0), &info, W(0)), 0);
  EXPECT_EQ(r, 1);
  EXPECT_NE(info.gains, nullptr);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(d->query), &r, device, W(53), &fullScale), 0);
  EXPECT_EQ(fullScale, 10.0f);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(d->writePort), &r, device, W(1), &byte, W(1)), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(d->read), &r, device, W(5), values, W(64), W(0)), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(d->start), &r, device), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(d->stop), &r, device), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(d->reserved3), &r, device), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(d->addRef), &r, device), 0);
  EXPECT_EQ(espDriftThroughTable(device), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(d->release), &r, device), 0);
  d->release(device);

  writeSimConfig("board = KV310\n");
  factory = loadDriverLibrary("Tarvelin", "Base library", "1.0", "LABUtility", "StaticFactory");
  ASSERT_NE(factory, nullptr);
  auto* utility = static_cast<IADCUtility*>(factory->ops->create(factory, "IADCUtility", 0));
  ASSERT_NE(utility, nullptr);
  const IADCUtilityOps* u = utility->ops;
  static const char boardName[] = "KV310E";
  int32_t bytes = 1048576, ready = 1, samples = 0;
  int16_t* block = nullptr;
  IADCDevice* kv310Device = nullptr;
  AcquisitionRecord record;
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->open), &r, utility, boardName, W(1), W(0), W(160)), 0);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->control), &r, utility, W(22), W(0)), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->control), &r, utility, W(25), &bytes), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->control), &r, utility, W(100), &kv310Device), 0);
  EXPECT_NE(kv310Device, nullptr);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->setParameters), &r, utility, &record, W(0)), 0);
  EXPECT_EQ(r, 0);  // an empty record is refused
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->control), &r, utility, W(1), &ready), 0);
  EXPECT_EQ(ready, 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->lockBuffer), &r, utility, &block, &samples), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->unlockBuffer), &r, utility), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->stop), &r, utility), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->addRef), &r, utility), 0);
  EXPECT_EQ(leftOver(reinterpret_cast<const void*>(u->release), &r, utility), 0);
  u->release(utility);
  freeDriverLibrary();
}
#undef W
#endif  // __i386__

TEST(DriverLoader, RegistryAndCurrentDirectory) {
  EXPECT_EQ(loadDriverLibrary("Tarvelin", "Drivers", "1.0", "NoSuchBoard", "StaticFactory"), nullptr);
  IADCFactory* factory = loadDriverLibrary("Tarvelin", "Drivers", "1.0", "KV320E", "StaticFactory");
  ASSERT_NE(factory, nullptr) << "kvsim.dll is not registered";
  EXPECT_EQ(loadDriverLibrary("Tarvelin", "Drivers", "1.0", "KV320E", "NoSuchSymbol"), nullptr);

  // Without maker, group or version: <current directory>\<name>.DLL.
  std::string registered = driverPath("Drivers", "KV320E");
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  std::string copy = std::string(cwd) + "\\kvsimcopy.DLL";
  ASSERT_TRUE(CopyFileA(registered.c_str(), copy.c_str(), FALSE));
  EXPECT_NE(loadDriverLibrary(nullptr, nullptr, nullptr, "kvsimcopy", "StaticFactory"), nullptr);
  EXPECT_NE(loadDriverLibrary("Tarvelin", "", "1.0", "kvsimcopy", "StaticFactory"), nullptr);
  EXPECT_EQ(loadDriverLibrary(nullptr, nullptr, nullptr, "kvsimmissing", "StaticFactory"), nullptr);
  freeDriverLibrary();
  DeleteFileA(copy.c_str());
}

}  // namespace
