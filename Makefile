BUILD  ?= build
SCRIPT ?= resources/samples/welcome.rtf
JOBS   ?= 2

.PHONY: all deps build run test bench fuzz-smoke install package clean

all: build

deps:
	@scripts/install-deps.sh

# CI builds with warnings as errors.
WERROR ?= $(if $(CI),ON,OFF)

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_WERROR=$(WERROR)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

run: build
	@scripts/run.sh $(BUILD)/src/corvanta "$(SCRIPT)" $(BUILD)/run

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

bench: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target bench

# The fuzz targets, built with clang in a folder of their own, each run briefly over its seeds.
FUZZ_BUILD ?= build-fuzz
FUZZ_RUNS  ?= 20000
fuzz-smoke: deps
	JOBS=$(JOBS) scripts/fuzz-smoke.sh $(FUZZ_BUILD) $(FUZZ_RUNS)

install: build
	cmake --install $(BUILD)

# The Debian package, left in this folder: sudo apt install ./corvanta_*.deb
package: build
	cd $(BUILD) && cpack
	cp $(BUILD)/corvanta_*.deb .

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
