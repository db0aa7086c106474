// Reads QR, Micro QR and rMQR symbols from picture files with zxing-cpp 2.x (WebAssembly), a reader nobody
// here wrote. Usage: node decode.mjs FILE...   One JSON line a file: {"file", "symbols": [...]}.
// The module's own .wasm is handed over from node_modules, so nothing is ever fetched.
import { readFile } from "node:fs/promises";
import { createRequire } from "node:module";
import { prepareZXingModule, readBarcodes } from "zxing-wasm/reader";

const require = createRequire(import.meta.url);
const wasmBinary = await readFile(require.resolve("zxing-wasm/reader/zxing_reader.wasm"));
await prepareZXingModule({ overrides: { wasmBinary }, fireImmediately: true });

const hex = (bytes) => Buffer.from(bytes).toString("hex");
const options = { formats: ["QRCode", "MicroQRCode", "rMQRCode"], tryHarder: true, maxNumberOfSymbols: 255 };

for (const file of process.argv.slice(2)) {
  let symbols = [];
  let error;
  try {
    const results = await readBarcodes(new Uint8Array(await readFile(file)), options);
    symbols = results.filter((r) => r.isValid).map((r) => ({
      format: r.format,
      bytesHex: hex(r.bytes),
      version: r.version,
      ecLevel: r.ecLevel,
      sequenceIndex: r.sequenceIndex,
      sequenceSize: r.sequenceSize,
      symbologyIdentifier: r.symbologyIdentifier,
      text: r.text, // last: readers of these lines may stop at it
    }));
  } catch (e) {
    error = String(e);
  }
  process.stdout.write(JSON.stringify(error ? { file, symbols, error } : { file, symbols }) + "\n");
}
