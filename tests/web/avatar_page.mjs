// The browser side of the avatar check (tests/web/avatar.test.mjs), bundled
// by esbuild at test time: @pixiv/three-vrm loads the VRM model,
// @pixiv/three-vrm-animation applies the VRM Animation to it, and at each
// sampled frame every humanoid bone of the avatar is compared with where
// MMD's forward kinematics puts the joints.
//
// The avatar's rest pose and bone lengths are its own, so directions are
// compared, not positions: a bone's turn is its raw node's world rotation
// with the raw node's rest world rotation taken out (what the normalised
// humanoid bone holds); that turn applied to the bone's T-pose direction
// in the animation's own humanoid (from the bone to its child) must point
// along the line between the same two joints in MMD's pose.
import { AnimationMixer, LoopOnce, Quaternion, Vector3 } from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { VRMLoaderPlugin } from '@pixiv/three-vrm';
import { VRMAnimationLoaderPlugin, VRMLookAtQuaternionProxy, createVRMAnimationClip } from '@pixiv/three-vrm-animation';

function load(url, plugin) {
  const loader = new GLTFLoader();
  loader.register(plugin);
  return loader.loadAsync(url);
}

// { model, motion: URLs; rest: { bone: [x, y, z] from its parent };
//   parents: { bone: parent }; samples: [{ frame, joints: { bone: [x, y, z] } }] }
// -> { said: warnings and errors logged, duration, bones: the avatar's
//   humanoid bones, worst: { deg, frame, bone, child }, angles: per sample
//   { frame, edges: [[bone, child, deg]] }, rest: { deg, bone, child } the
//   largest angle between the avatar's own rest directions and the
//   animation's (for the record) }
window.avatarCheck = async ({ model, motion, rest, parents, samples }) => {
  const said = [];
  const { warn, error } = console;
  console.warn = (...a) => said.push(a.join(' '));
  console.error = (...a) => said.push(a.join(' '));
  try {
    const vrm = (await load(model, (p) => new VRMLoaderPlugin(p))).userData.vrm;
    const animation = (await load(motion, (p) => new VRMAnimationLoaderPlugin(p))).userData.vrmAnimations[0];
    const humanoid = vrm.humanoid;
    const bones = Object.keys(parents).filter((b) => humanoid.getRawBoneNode(b));
    vrm.scene.updateMatrixWorld(true);
    const restTurn = {}, restPlace = {};
    for (const b of bones) {
      const node = humanoid.getRawBoneNode(b);
      restTurn[b] = node.getWorldQuaternion(new Quaternion()).invert();
      restPlace[b] = node.getWorldPosition(new Vector3());
    }
    // The bones to compare: each from its humanoid parent, but for the hips'
    // children (the leg roots and the spine root are where the humanoid and
    // MMD differ by design); the child need not be on the avatar.
    const edges = Object.entries(parents).filter(([c, p]) => p && p !== 'hips' && bones.includes(p));
    const arrow = (bone) => new Vector3(...rest[bone]).normalize();
    const restWorst = { deg: 0 };
    for (const [c, p] of edges) {
      const deg = bones.includes(c) ? (restPlace[c].clone().sub(restPlace[p]).angleTo(arrow(c)) * 180) / Math.PI : 0;
      if (deg > restWorst.deg) Object.assign(restWorst, { deg, bone: p, child: c });
    }

    if (vrm.lookAt) {  // as the package asks: the gaze's proxy made before the clip
      const proxy = new VRMLookAtQuaternionProxy(vrm.lookAt);
      proxy.name = 'lookAtQuaternionProxy';
      vrm.scene.add(proxy);
    }
    const clip = createVRMAnimationClip(animation, vrm);
    const mixer = new AnimationMixer(vrm.scene);
    // played once and held at its end: a repeating clip shows its first
    // frame again at its last frame's time
    const action = mixer.clipAction(clip);
    action.setLoop(LoopOnce, 1);
    action.clampWhenFinished = true;
    action.play();
    const worst = { deg: -1 };
    const angles = [];
    for (const { frame, joints } of samples) {
      mixer.setTime(frame / 30);
      vrm.update(0);
      vrm.scene.updateMatrixWorld(true);
      const row = [];
      for (const [c, p] of edges) {
        const turn = humanoid.getRawBoneNode(p).getWorldQuaternion(new Quaternion()).multiply(restTurn[p]);
        const points = arrow(c).applyQuaternion(turn);
        const mmd = new Vector3(...joints[c]).sub(new Vector3(...joints[p])).normalize();
        const deg = (points.angleTo(mmd) * 180) / Math.PI;
        row.push([p, c, deg]);
        if (deg > worst.deg) Object.assign(worst, { deg, frame, bone: p, child: c });
      }
      angles.push({ frame, edges: row });
    }
    return { said, duration: clip.duration, bones, worst, angles, rest: restWorst };
  } finally {
    console.warn = warn;
    console.error = error;
  }
};
