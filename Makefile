# Set-up and test entry points. See README.md.
BUILD   ?= build
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
SRC     := $(CURDIR)
CMAKE   := cmake -G Ninja -Wno-dev
CTEST   := ctest --output-on-failure --no-tests=error -j1

.PHONY: test run bootstrap build native fuzz win64 win32 clean

test: bootstrap build
	cd $(BUILD)/native && $(CTEST)
	cd $(BUILD)/fuzz && $(CTEST)
	@grep -hE 'fuzzing .* for|stat::number_of_executed_units|stat::average_exec_per_sec' \
	  $(BUILD)/fuzz/Testing/Temporary/LastTest.log 2>/dev/null || true
	cd $(BUILD)/win64 && $(CTEST)
	@echo "win32: compiled and linked ($(BUILD)/win32/bin)"

run: bootstrap win64
	scripts/run-demo $(BUILD)/win64

bootstrap:
	scripts/bootstrap

build: native fuzz win64 win32

native:
	$(CMAKE) -S $(SRC) -B $(BUILD)/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
	ninja -C $(BUILD)/native -j$(JOBS)

# clang with ASan, UBSan and libFuzzer: the core tests again, and the fuzz target.
fuzz:
	CC=clang CXX=clang++ $(CMAKE) -S $(SRC) -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUB_FUZZ=ON
	ninja -C $(BUILD)/fuzz -j$(JOBS)

win64:
	$(CMAKE) -S $(SRC) -B $(BUILD)/win64 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(SRC)/cmake/toolchain-mingw64.cmake
	ninja -C $(BUILD)/win64 -j$(JOBS)

win32:
	$(CMAKE) -S $(SRC) -B $(BUILD)/win32 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(SRC)/cmake/toolchain-mingw32.cmake
	ninja -C $(BUILD)/win32 -j$(JOBS)

clean:
	rm -rf $(BUILD)
