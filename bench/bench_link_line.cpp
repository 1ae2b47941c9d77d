// Throughput of the line assembly and sentence recognition that the reader loop runs on every
// NMEA line, and of the reply assembly used after an ACK.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "link/byte_source.h"
#include "link/nmea_sentence.h"
#include "link/receiver_protocol.h"

namespace {

std::vector<unsigned char> NmeaBurst(int lines) {
    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    const std::string rmc =
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    std::vector<unsigned char> out;
    for (int i = 0; i < lines; ++i) {
        const std::string& s = (i % 2) ? rmc : gga;
        out.insert(out.end(), s.begin(), s.end());
    }
    return out;
}

void BM_ReadAndRecognizeLines(benchmark::State& state) {
    const auto burst = NmeaBurst(1000);
    unsigned char line[pelmora::ReceiverProtocol::kLineBufferSize];
    for (auto _ : state) {
        pelmora::MemoryByteSource source(burst);
        int recognised = 0;
        while (pelmora::AssembleLine(source, line, pelmora::ReceiverProtocol::kLineCapacity) > 0) {
            recognised += pelmora::RecognizeSentence(line, sizeof line) != 0;
        }
        benchmark::DoNotOptimize(recognised);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(burst.size()));
}
BENCHMARK(BM_ReadAndRecognizeLines);

void BM_ReadReplyFrames(benchmark::State& state) {
    std::vector<unsigned char> payload(255);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<unsigned char>(i);
    }
    payload[0] = 0x94;
    std::vector<unsigned char> frame(262);
    pelmora::ReceiverProtocol::BuildFrame(frame.data(), payload.data(), 255);
    std::vector<unsigned char> stream;
    for (int i = 0; i < 200; ++i) {
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    unsigned char buffer[pelmora::ReceiverProtocol::kReplyCapacity + 1];
    for (auto _ : state) {
        pelmora::MemoryByteSource source(stream);
        int kinds = 0;
        int n;
        while ((n = pelmora::AssembleReply(source, buffer,
                                           pelmora::ReceiverProtocol::kReplyCapacity)) > 0) {
            kinds += pelmora::ReceiverProtocol::FrameKind(buffer, n);
        }
        benchmark::DoNotOptimize(kinds);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_ReadReplyFrames);

}  // namespace

BENCHMARK_MAIN();
