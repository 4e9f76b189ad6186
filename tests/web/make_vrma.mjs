// A small VRM Animation (.vrma) for the preview's tests while the page's core
// cannot export one: a glTF binary with the VRMC_vrm_animation extension, the
// humanoid in T-pose (metres, facing +Z, the model's left at +X, soles on
// y = 0, rest rotations identity) and two seconds at 30 frames a second in
// which the left arm lowers and rises again. With twist, the left forearm
// also turns about its own length by up to 90°, at its most at frame 30.
//   makeVrma({ twist }) -> Buffer

// name, parent, translation from the parent (our own round figures)
const BONES = [
  ['hips', null, [0, 0.95, 0]],
  ['spine', 'hips', [0, 0.1, 0]],
  ['chest', 'spine', [0, 0.12, 0]],
  ['upperChest', 'chest', [0, 0.12, 0]],
  ['neck', 'upperChest', [0, 0.14, 0]],
  ['head', 'neck', [0, 0.1, 0]],
  ...['left', 'right'].flatMap((side) => {
    const s = side === 'left' ? 1 : -1;
    return [
      [`${side}Shoulder`, 'upperChest', [0.03 * s, 0.1, 0]],
      [`${side}UpperArm`, `${side}Shoulder`, [0.1 * s, 0, 0]],
      [`${side}LowerArm`, `${side}UpperArm`, [0.26 * s, 0, 0]],
      [`${side}Hand`, `${side}LowerArm`, [0.24 * s, 0, 0]],
      [`${side}ThumbMetacarpal`, `${side}Hand`, [0.02 * s, 0, 0.03]],
      [`${side}ThumbProximal`, `${side}ThumbMetacarpal`, [0.03 * s, 0, 0.02]],
      [`${side}ThumbDistal`, `${side}ThumbProximal`, [0.03 * s, 0, 0.01]],
      [`${side}UpperLeg`, 'hips', [0.09 * s, -0.05, 0]],
      [`${side}LowerLeg`, `${side}UpperLeg`, [0, -0.42, 0]],
      [`${side}Foot`, `${side}LowerLeg`, [0, -0.4, 0]],
      [`${side}Toes`, `${side}Foot`, [0, -0.06, 0.12]],
    ];
  }),
];

const FRAMES = 61;

// A turn of deg degrees about a unit axis, as x, y, z, w.
function quat(axis, deg) {
  const h = (deg * Math.PI) / 360;
  return [axis[0] * Math.sin(h), axis[1] * Math.sin(h), axis[2] * Math.sin(h), Math.cos(h)];
}

export function makeVrma({ twist = false } = {}) {
  const index = new Map(BONES.map(([name], i) => [name, i]));
  const nodes = BONES.map(([name, , t]) => ({ name, translation: t }));
  BONES.forEach(([name, parent]) => {
    if (parent) (nodes[index.get(parent)].children ||= []).push(index.get(name));
  });

  const chunks = [];
  const accessors = [];
  const bufferViews = [];
  let offset = 0;
  const add = (values, type, extra = {}) => {
    const data = Buffer.from(new Float32Array(values).buffer);
    bufferViews.push({ buffer: 0, byteOffset: offset, byteLength: data.length });
    const size = { SCALAR: 1, VEC3: 3, VEC4: 4 }[type];
    accessors.push({ bufferView: bufferViews.length - 1, componentType: 5126, count: values.length / size, type, ...extra });
    chunks.push(data);
    offset += data.length;
    return accessors.length - 1;
  };
  const times = Array.from({ length: FRAMES }, (_, f) => f / 30);
  const timeAccessor = add(times, 'SCALAR', { min: [0], max: [times[FRAMES - 1]] });
  const wave = (f) => Math.sin((Math.PI * f) / (FRAMES - 1));  // 0 → 1 at frame 30 → 0
  const channels = [];
  const samplers = [];
  const track = (bone, path, values) => {
    samplers.push({ input: timeAccessor, output: add(values, path === 'rotation' ? 'VEC4' : 'VEC3'), interpolation: 'LINEAR' });
    channels.push({ sampler: samplers.length - 1, target: { node: index.get(bone), path } });
  };
  track('leftUpperArm', 'rotation', times.flatMap((_, f) => quat([0, 0, 1], -60 * wave(f))));
  track('leftLowerArm', 'rotation', times.flatMap((_, f) => quat([1, 0, 0], twist ? 90 * wave(f) : 0)));
  track('hips', 'translation', times.flatMap(() => [0, 0.95, 0]));

  const bin = Buffer.concat(chunks);
  const json = {
    asset: { version: '2.0', generator: 'tarvel test fixture' },
    extensionsUsed: ['VRMC_vrm_animation'],
    extensions: {
      VRMC_vrm_animation: {
        specVersion: '1.0',
        humanoid: { humanBones: Object.fromEntries(BONES.map(([name], i) => [name, { node: i }])) },
      },
    },
    scene: 0,
    scenes: [{ nodes: [0] }],
    nodes,
    buffers: [{ byteLength: bin.length }],
    bufferViews,
    accessors,
    animations: [{ channels, samplers }],
  };
  const pad = (b, fill) => Buffer.concat([b, Buffer.alloc((4 - (b.length % 4)) % 4, fill)]);
  const jsonChunk = pad(Buffer.from(JSON.stringify(json)), 0x20);
  const binChunk = pad(bin, 0);
  const header = Buffer.alloc(12);
  header.write('glTF', 0);
  header.writeUInt32LE(2, 4);
  header.writeUInt32LE(12 + 8 + jsonChunk.length + 8 + binChunk.length, 8);
  const chunkHead = (length, type) => {
    const h = Buffer.alloc(8);
    h.writeUInt32LE(length, 0);
    h.write(type, 4, 'latin1');
    return h;
  };
  return Buffer.concat([header, chunkHead(jsonChunk.length, 'JSON'), jsonChunk, chunkHead(binChunk.length, 'BIN\0'), binChunk]);
}
