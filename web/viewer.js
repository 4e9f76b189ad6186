// The preview's drawing: a motion's VRM Animation played with three and
// @pixiv/three-vrm-animation on Tarvel's mannequin (built from the
// animation's own humanoid nodes) or on the user's VRM avatar, in one or two
// views side by side that play in step. Loaded by the page only when a
// preview first starts; it sets self.tarvelViewer.
import * as THREE from 'three';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';
import { VRMHumanoid, VRMLoaderPlugin, VRMUtils } from '@pixiv/three-vrm';
import { VRMAnimationLoaderPlugin, VRMLookAtQuaternionProxy, createVRMAnimationClip } from '@pixiv/three-vrm-animation';

const FPS = 30;
const HOME = { eye: new THREE.Vector3(0.9, 1.3, 2.9), target: new THREE.Vector3(0, 0.85, 0) };
const BODY = 0xb9bec7;
const THUMB_SIDE = 0x3b4252;

// One WebGL context draws every view of every preview into its 2D canvas, so
// a page of many motions never runs out of contexts.
let renderer = null;
function sharedRenderer() {
  if (!renderer) {
    renderer = new THREE.WebGLRenderer({ antialias: true });
    renderer.outputColorSpace = THREE.SRGBColorSpace;
  }
  return renderer;
}

function parseGltf(buffer, plugin) {
  const loader = new GLTFLoader();
  loader.register((parser) => new plugin(parser));
  return loader.parseAsync(buffer, '');
}

// The child a bone's solid reaches to, or the direction and length of an end.
const NEXT = {
  hips: ['spine'], spine: ['chest'], chest: ['upperChest', 'neck'], upperChest: ['neck'], neck: ['head'],
  Shoulder: ['UpperArm'], UpperArm: ['LowerArm'], LowerArm: ['Hand'], Hand: ['MiddleProximal'],
  UpperLeg: ['LowerLeg'], LowerLeg: ['Foot'], Foot: ['Toes'],
  ThumbMetacarpal: ['ThumbProximal'], ThumbProximal: ['ThumbDistal'],
};
// width and thickness (metres) of each solid; flat ones are thin across the
// back of the hand
const SHAPE = {
  hips: [0.3, 0.16], spine: [0.26, 0.15], chest: [0.3, 0.17], upperChest: [0.32, 0.17], neck: [0.08, 0.08],
  head: [0.18, 0.2], Shoulder: [0.07, 0.07], UpperArm: [0.08, 0.08], LowerArm: [0.09, 0.035],
  Hand: [0.09, 0.025], UpperLeg: [0.13, 0.13], LowerLeg: [0.1, 0.1], Foot: [0.09, 0.06], Toes: [0.09, 0.04],
  finger: [0.018, 0.016],
};
const FLAT = new Set(['LowerArm', 'Hand']);

const partOf = (bone) => bone.replace(/^(left|right)/, '');

// A box from a bone's origin to tip (in the bone's own frame), width across
// and thick along thin, with a dark strip on its +front side when asked.
function segment(tip, width, thick, thin, material, thumbSide) {
  const length = tip.length();
  const d = tip.clone().normalize();
  const t = thin.clone().sub(d.clone().multiplyScalar(thin.dot(d))).normalize();
  const w = new THREE.Vector3().crossVectors(d, t);
  const basis = new THREE.Matrix4().makeBasis(w, d, t);
  const group = new THREE.Group();
  const box = new THREE.Mesh(new THREE.BoxGeometry(width, length, thick).translate(0, length / 2, 0), material);
  box.applyMatrix4(basis);
  group.add(box);
  if (thumbSide) {
    // the thumb side: the edge toward the front in T-pose
    const strip = new THREE.Mesh(new THREE.BoxGeometry(width * 0.25, length * 0.96, thick * 1.1)
      .translate(width * 0.4 * thumbSide, length / 2, 0), new THREE.MeshStandardMaterial({ color: THUMB_SIDE }));
    strip.applyMatrix4(basis);
    group.add(strip);
  }
  return group;
}

// Tarvel's mannequin on the humanoid nodes of a parsed .vrma: one solid per
// humanoid bone, coloured by the findings that concern it.
function mannequin(gltf, colours) {
  const bones = gltf.parser.json.extensions.VRMC_vrm_animation.humanoid.humanBones;
  const scene = gltf.scene;
  const nodes = {};
  return Promise.all(Object.entries(bones).map(async ([name, { node }]) => {
    nodes[name] = await gltf.parser.getDependency('node', node);
  })).then(() => {
    scene.updateMatrixWorld(true);
    const humanBones = {};
    const materials = {};
    for (const [name, node] of Object.entries(nodes)) {
      humanBones[name] = { node };
      const part = partOf(name);
      const isFinger = /Thumb|Index|Middle|Ring|Little/.test(part);
      const colour = colours[name] ? parseInt(colours[name], 16) : BODY;
      const material = new THREE.MeshStandardMaterial({ color: colour, roughness: 0.7 });
      materials[name] = material;
      const inverse = node.getWorldQuaternion(new THREE.Quaternion()).invert();
      const local = (v) => v.clone().applyQuaternion(inverse);
      const origin = node.getWorldPosition(new THREE.Vector3());
      const side = name.startsWith('left') ? 1 : name.startsWith('right') ? -1 : 0;
      const prefix = side > 0 ? 'left' : side < 0 ? 'right' : '';
      const onwardParts = NEXT[part] || (part.includes('Proximal') ? [part.replace('Proximal', 'Intermediate')]
        : part.includes('Intermediate') ? [part.replace('Intermediate', 'Distal')] : []);
      let tip = null;
      for (const p of onwardParts) {
        const child = nodes[prefix + p];
        if (child) {
          tip = node.worldToLocal(child.getWorldPosition(new THREE.Vector3()));
          break;
        }
      }
      if (!tip || tip.length() < 1e-4) {
        // an end: the head up, the toes forward, a hand or fingertip onward
        const parentWorld = node.parent ? node.parent.getWorldPosition(new THREE.Vector3()) : origin.clone().setY(0);
        const onward = origin.clone().sub(parentWorld).normalize();
        if (part === 'head') tip = local(new THREE.Vector3(0, 0.24, 0));
        else if (part === 'Toes') tip = local(new THREE.Vector3(0, 0, 0.07));
        else if (part === 'Hand') tip = local(onward.multiplyScalar(0.17));
        else tip = local(onward.multiplyScalar(0.025));
      }
      const [width, thick] = SHAPE[isFinger ? 'finger' : part] || [0.06, 0.06];
      // arms and hands are flat across their back (world up in T-pose), the
      // rest thin front to back
      const thin = local(side && /Shoulder|Arm|Hand|Thumb|Index|Middle|Ring|Little/.test(part)
        ? new THREE.Vector3(0, 1, 0) : new THREE.Vector3(0, 0, 1));
      const thumb = FLAT.has(part) ? side : 0;  // the thumb side is the front in T-pose
      const solid = segment(tip, width, thick, thin, material, thumb);
      if (part === 'head') {
        // a nose: where the face looks
        const nose = new THREE.Mesh(new THREE.BoxGeometry(0.04, 0.05, 0.05), material);
        nose.position.copy(local(new THREE.Vector3(0, 0.1, 0.11)));
        solid.add(nose);
      }
      node.add(solid);
    }
    const humanoid = new VRMHumanoid(humanBones);
    scene.add(humanoid.normalizedHumanBonesRoot);
    return { scene, humanoid, meta: { metaVersion: '1' }, materials, update: () => humanoid.update() };
  });
}

// The motion's animation as a clip for a model (mannequin or avatar), played
// once: a repeating clip would show the first frame's pose at the last
// frame's time. Returns the mixer and the action, ready to be set to any time.
function animate(model, vrmAnimation) {
  if (model.lookAt && !model.scene.children.some((c) => c instanceof VRMLookAtQuaternionProxy)) {
    const proxy = new VRMLookAtQuaternionProxy(model.lookAt);
    proxy.name = 'VRMLookAtQuaternionProxy';
    model.scene.add(proxy);
  }
  const mixer = new THREE.AnimationMixer(model.scene);
  const action = mixer.clipAction(createVRMAnimationClip(vrmAnimation, model));
  action.setLoop(THREE.LoopOnce, 1);
  action.clampWhenFinished = true;  // held at the last frame, not switched off
  action.play();
  return { mixer, action };
}

// One view: its canvas, scene, the motion's animation, its mannequin and,
// when one is given, the avatar.
class View {
  constructor(canvas, camera) {
    this.canvas = canvas;
    this.camera = camera;
    this.context = canvas.getContext('2d');
    this.scene = new THREE.Scene();
    this.scene.background = new THREE.Color(0x23272e);
    this.scene.add(new THREE.HemisphereLight(0xffffff, 0x445566, 1.6));
    const sun = new THREE.DirectionalLight(0xffffff, 1.8);
    sun.position.set(1.5, 3, 2.5);
    this.scene.add(sun);
    const grid = new THREE.GridHelper(4, 16, 0x8890a0, 0x4a505c);
    this.scene.add(grid);
    this.marker = new THREE.Mesh(new THREE.SphereGeometry(0.07, 16, 12),
      new THREE.MeshBasicMaterial({ color: 0xffffff, wireframe: true }));
    this.marker.visible = false;
    this.scene.add(this.marker);
  }

  async load(bytes, colours) {
    const gltf = await parseGltf(bytes, VRMAnimationLoaderPlugin);
    this.animation = gltf.userData.vrmAnimations && gltf.userData.vrmAnimations[0];
    if (!this.animation) throw new Error('no VRM Animation in the export');
    this.mannequin = await mannequin(gltf, colours);
    this.scene.add(this.mannequin.scene);
    this.use(this.mannequin);
  }

  use(model) {
    if (this.model && this.model !== this.mannequin) {
      this.scene.remove(this.model.scene);
      VRMUtils.deepDispose(this.model.scene);
    }
    this.model = model;
    this.mannequin.scene.visible = model === this.mannequin;
    if (model !== this.mannequin) this.scene.add(model.scene);
    ({ mixer: this.mixer, action: this.action } = animate(model, this.animation));
  }

  pose(time) {
    this.action.paused = false;  // held once the last frame was shown
    this.mixer.setTime(time);
    this.model.update(0);
    if (this.highlighted) this.highlighted.getWorldPosition(this.marker.position);
  }

  // Marks a humanoid bone (or none) with a wireframe ball.
  highlight(bone) {
    const node = bone && this.model.humanoid.getRawBoneNode(bone);
    this.highlighted = node || null;
    this.marker.visible = !!node;
    for (const [name, m] of Object.entries(this.mannequin.materials)) {
      m.emissive.setHex(name === bone ? 0x553300 : 0x000000);
    }
  }

  draw() {
    const r = sharedRenderer();
    const w = this.canvas.width;
    const h = this.canvas.height;
    const size = r.getSize(new THREE.Vector2());
    if (size.x !== w || size.y !== h) r.setSize(w, h, false);
    r.render(this.scene, this.camera);
    this.context.drawImage(r.domElement, 0, 0);
  }
}

// Reads a .vrm the user gave: the avatar, or throws the reason it is not one.
async function readAvatar(buffer) {
  let gltf;
  try {
    gltf = await parseGltf(buffer, VRMLoaderPlugin);
  } catch (e) {
    throw new Error('not a glTF binary');
  }
  const vrm = gltf.userData.vrm;
  if (!vrm) throw new Error('a glTF file without VRM data');
  if (vrm.meta && vrm.meta.metaVersion === '0') VRMUtils.rotateVRM0(vrm);
  VRMUtils.removeUnnecessaryVertices(vrm.scene);
  vrm.scene.traverse((o) => { o.frustumCulled = false; });
  return { scene: vrm.scene, humanoid: vrm.humanoid, meta: vrm.meta, lookAt: vrm.lookAt,
    expressionManager: vrm.expressionManager, update: (dt) => vrm.update(dt) };
}

// A preview: views (one or two canvases) sharing one camera and one clock.
// ui: { root, canvases, play, slider, speed, time, reset, onFrame(frame),
// onPlaying(bool) }.
class Preview {
  constructor(ui, animations, colours) {
    this.ui = ui;
    this.time = 0;
    this.speed = 1;
    this.playing = false;
    this.camera = new THREE.PerspectiveCamera(35, 4 / 3, 0.05, 50);
    this.views = ui.canvases.map((c) => new View(c, this.camera));
    this.target = HOME.target.clone();
    this.controls = ui.canvases.map((c) => {
      const k = new OrbitControls(this.camera, c);
      k.target = this.target;  // one target: both views orbit together
      k.enableDamping = false;
      k.addEventListener('change', () => this.draw());
      return k;
    });
    this.resetCamera();
    this.ready = Promise.all(this.views.map((v, i) => v.load(animations[i], colours))).then(() => {
      this.duration = Math.max(...this.views.map((v) => v.animation.duration));
      this.lastFrame = Math.round(this.duration * FPS);
      this.resize();
      this.show(0);
    });
    this.resizer = new ResizeObserver(() => this.resize());
    for (const c of ui.canvases) this.resizer.observe(c);
  }

  resize() {
    const ratio = Math.min(window.devicePixelRatio || 1, 2);
    for (const v of this.views) {
      const w = Math.max(1, Math.round(v.canvas.clientWidth * ratio));
      const h = Math.max(1, Math.round(v.canvas.clientHeight * ratio));
      if (v.canvas.width !== w || v.canvas.height !== h) {
        v.canvas.width = w;
        v.canvas.height = h;
      }
      this.camera.aspect = w / h;
    }
    this.camera.updateProjectionMatrix();
    this.draw();
  }

  draw() {
    if (this.duration === undefined) return;
    for (const v of this.views) v.draw();
  }

  // Shows the pose at a time (seconds) in every view.
  show(time) {
    this.time = Math.min(Math.max(time, 0), this.duration);
    for (const v of this.views) v.pose(this.time);
    this.draw();
    this.ui.onFrame(Math.min(Math.floor(this.time * FPS + 1e-6), this.lastFrame));
  }

  showFrame(frame) {
    this.show(frame / FPS);
  }

  setPlaying(on) {
    if (on === this.playing) return;
    this.playing = on;
    this.ui.onPlaying(on);
    if (!on) return;
    let last = performance.now();
    const step = (now) => {
      if (!this.playing) return;
      let t = this.time + ((now - last) / 1000) * this.speed;
      last = now;
      if (t > this.duration) t = 0;  // past the last frame: again from 0
      this.show(t);
      requestAnimationFrame(step);
    };
    requestAnimationFrame(step);
  }

  resetCamera() {
    this.target.copy(HOME.target);
    this.camera.position.copy(HOME.eye);
    this.camera.lookAt(this.target);
    for (const v of this.views) if (v.model) v.highlight(null);
    this.draw();
  }

  // Shows a bone up close: the camera turned toward it and the bone marked.
  focus(bone) {
    const view = this.views[this.views.length - 1];
    const node = bone && view.model && view.model.humanoid.getRawBoneNode(bone);
    for (const v of this.views) v.highlight(bone);
    if (!node) {
      this.draw();
      return;
    }
    const at = node.getWorldPosition(new THREE.Vector3());
    const away = this.camera.position.clone().sub(this.target).normalize().multiplyScalar(1.4);
    this.target.copy(at);
    this.camera.position.copy(at).add(away);
    this.camera.lookAt(this.target);
    for (const v of this.views) v.pose(this.time);
    this.draw();
  }

  // Puts the avatar (its bytes, read once per view) in every view.
  async setAvatar(buffer) {
    const models = [];
    for (let i = 0; i < this.views.length; i++) models.push(await readAvatar(buffer));
    await this.ready;
    this.views.forEach((v, i) => v.use(models[i]));
    this.show(this.time);
  }
}

self.tarvelViewer = {
  start: (ui, animations, colours) => new Preview(ui, animations, colours),
};
