# The two commands a newcomer needs:
#   make run   installs what is missing, builds, and runs the merge tool on a sample database pair
#   make test  installs what is missing, builds, and runs the whole test suite
#              (plain, then under AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzzers)
.PHONY: run test deps build build-asan fuzz clean

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

build-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPX_SANITIZE=ON -DPX_BENCH=OFF -DPX_WERROR=ON
	cmake --build build-asan -j$(JOBS)

fuzz: deps
	CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPX_FUZZ=ON -DPX_WERROR=ON
	cmake --build build-fuzz -j$(JOBS)
	./tests/fuzz/run_fuzzers.sh build-fuzz/bin $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-fuzz
