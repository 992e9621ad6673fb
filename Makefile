# The two commands a newcomer needs:
#   make run   installs what is missing, builds, and runs the merge tool on a sample database pair
#   make test  installs what is missing, builds, and runs the whole test suite
#              (plain, then under AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzzers,
#              then the Windows programs under Wine)
#   make windows  cross-builds the Windows programs and packs dist/mergetool-windows-x64.zip
.PHONY: run test deps build build-asan fuzz windows test-windows clean

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 30

deps:
	@./tools/install_deps.sh

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPX_BENCH=ON -DPX_WERROR=ON
	cmake --build build -j$(JOBS)

run: build
	./tools/run_sample.sh

test: build
	ctest --test-dir build --output-on-failure -j$(JOBS)
	$(MAKE) --no-print-directory build-asan
	ctest --test-dir build-asan --output-on-failure -j$(JOBS)
	$(MAKE) --no-print-directory fuzz
	$(MAKE) --no-print-directory test-windows

build-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPX_SANITIZE=ON -DPX_BENCH=OFF -DPX_WERROR=ON
	cmake --build build-asan -j$(JOBS)

fuzz: deps
	CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPX_FUZZ=ON -DPX_WERROR=ON
	cmake --build build-fuzz -j$(JOBS)
	./tests/fuzz/run_fuzzers.sh build-fuzz/bin $(FUZZ_SECONDS)

# The programs cross-built for 64-bit Windows with MinGW-w64, statically
# linked, and the zip for the practice.
windows: deps
	cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	      -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DPX_BENCH=OFF -DPX_WERROR=ON -DPX_LINUX_BUILD_DIR=$(CURDIR)/build
	cmake --build build-windows -j$(JOBS)
	./tools/pack_windows.sh build-windows/bin dist/mergetool-windows-x64.zip

# The Windows stage: every test program under Wine, and the Linux side's
# checks of what the Windows programs wrote (which need build/).
test-windows: windows build
	ctest --test-dir build-windows --output-on-failure -j$(JOBS)

clean:
	rm -rf build build-asan build-fuzz build-windows dist
