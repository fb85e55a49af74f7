# Wraps CMake. `make demo` and `make test` are the two set-up commands of the README.
JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja

.PHONY: demo test bench fuzz build clean

build:
	scripts/deps.sh build
	cmake -S . -B build/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARKON_TESTS=OFF
	cmake --build build/release -j $(JOBS)

demo: build
	scripts/deps.sh demo
	scripts/demo.sh build/release/bin

test:
	scripts/deps.sh build test
	cmake -S . -B build/test $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DVARKON_SANITIZE=ON -DVARKON_BENCH=OFF
	cmake --build build/test -j $(JOBS)
	cd build/test && ctest --output-on-failure -j $(JOBS) --timeout 600

bench:
	scripts/deps.sh build bench
	cmake -S . -B build/bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVARKON_TESTS=OFF
	cmake --build build/bench -j $(JOBS)
	scripts/run-bench.sh build/bench/bin

fuzz:
	scripts/deps.sh build fuzz
	CXX=clang++-14 cmake -S . -B build/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARKON_FUZZ=ON
	cmake --build build/fuzz -j $(JOBS)
	scripts/run-fuzz.sh build/fuzz/bin 60

clean:
	rm -rf build
